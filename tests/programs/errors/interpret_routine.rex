/* An error in a routine called from interpreted code */
interpret 'call broken'
exit
broken:
  x = undefined_name * 2
  return
