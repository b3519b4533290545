/* Each PROCEDURE level keeps its own variables across deeper calls, and the caller's come back */
x = 'main'; s.1 = 'main stem'
call lvl 3
say 'levels.4' x s.1
say 'levels.5' twice_local(2) x
exit
lvl: procedure
  x = 'level' arg(1); s.1 = 'stem' arg(1)
  if arg(1) > 1 then call lvl arg(1) - 1
  say 'levels.' || arg(1) x s.1
  return
twice_local: procedure
  x = arg(1)
  y = inner(x) x
  return y
inner: procedure
  x = 'inner'
  return x
