/* Traps armed in a routine go away with it: the caller's error is not trapped */
call arm
say 'armed in the routine only'
x = 1 / 0
exit
arm:
  signal on syntax
  return
syntax: say 'wrong: trapped'
