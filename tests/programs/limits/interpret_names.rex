/* INTERPRET may add 40 symbols to the program's table; the 41st is an implementation limit */
call t 40
call t 41
exit
t: procedure
  s = ''
  do k = 1 to arg(1); s = s 'zz' || k '= 1;'; end
  signal on syntax
  interpret s
  say arg(1) 'new names: ran'
  return
syntax:
  say arg(1) 'new names: error' rc
  return
