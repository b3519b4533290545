/* INTERPRET of the same strings many times: every run gives what a fresh translation gives */
out = ''
do i = 1 to 4
  interpret 'n' || (i // 2) '= "lit' || i || '" i * 2'
  interpret 'k = 7; t.k = i; q.i = "q" || t.7'
  out = out n0 n1 q.i
end
say 'names:' out
/* a recurring string that makes new symbols and literals, run from two scopes */
s = 'w = "abc" || x; x = x + 1'
x = 1
do 3; interpret s; end
say 'main:' w x
call sub 10
say 'after sub:' w x
/* nested: the inner string is translated while the tables hold the outer's entries */
do j = 1 to 3
  interpret 'inner = "z" || j; interpret "deep" || j "= inner || inner"'
end
say 'nested:' inner deep1 deep3
/* a string in error is an error each time */
signal on syntax
tries = 0
bad = 'y = ( 1'
do 2
  tries = tries + 1
  interpret bad
end
exit
syntax:
  say 'syntax' rc 'on try' tries
  if tries < 3 then do; tries = tries + 1; signal on syntax; interpret bad; end
  exit

sub: procedure expose s
  x = arg(1)
  do 2; interpret s; end
  say "in sub:" w x
  return
