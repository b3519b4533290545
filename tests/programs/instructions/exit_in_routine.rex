/* EXIT inside a routine ends the whole program */
call sub
say 'not reached'
exit 1
sub:
  say 'in sub'
  exit 9
