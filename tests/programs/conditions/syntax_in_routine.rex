/* A routine inherits a copy of its caller's traps: an error in the routine goes to the
   SYNTAX label, which then runs in the routine */
signal on syntax
call inner
say 'not reached'
exit
inner:
  say 'inner runs with the inherited trap'
  x = 'a' + 1
  return
syntax: say 'trapped in the routine: rc' rc 'line' sigl
