/* An error in a routine writes the traceback through its callers */
call level1
exit
level1:
  call level2 7
  return
level2:
  x = arg_value() / 0
  return
arg_value: return 3
