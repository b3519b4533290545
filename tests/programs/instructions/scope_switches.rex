/* Variables read and assigned after the symbol table grows (INTERPRET) and after the
   activation changes (PROCEDURE, calls inside an expression) are the right ones */
x = 'outer'; n = 1
do i = 1 to 40
  interpret 'v'i '= i * 2; n = n + v'i
end
say 'grown' n x v40
call sub
say 'back' x n
long = copies('o', 12); other = copies('c', 12)
y = long || f() || long
say 'stack.1' y long
long = copies('o', 12)
y = long || g() || long
say 'stack.2' y long
exit
sub: procedure
  x = 'inner'; n = 0
  do k = 1 to 3; n = n + k; end
  say 'sub' x n
  return
f: procedure expose long other
  long = other
  return '|'
g:
  long = other'!'
  return '|'
