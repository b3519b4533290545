/* Interpreted code has 10000 bytes of room: 1428 assignments of seven bytes fit, 1429 do not */
call t 1428
call t 1429
exit
t: procedure
  signal on syntax
  interpret copies('x = 1;', arg(1))
  say arg(1) 'assignments: ran'
  return
syntax: say arg(1) 'assignments: error' rc; return
