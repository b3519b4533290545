/* External routines found as program files, called as subroutines and functions */
call extsub 'hello'
say 'call result:' result
say 'function result:' extsub('world')
call extsub
say 'no argument:' result
signal on syntax
call no_such_routine_anywhere
syntax: say 'missing routine: rc' rc
