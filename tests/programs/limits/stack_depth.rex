/* Recursion that fills the evaluation stack: error 39, trapped */
signal on syntax
depth = 0
say f(1)
exit
f: procedure expose depth
  parse arg n
  depth = n
  return 1 + (2 + (3 + (4 + (5 + (6 + f(n + 1))))))
syntax:
  say 'error' rc 'at depth' (depth > 10000) condition('C')
  exit
