/* INTERPRET strings that recur among ones that never do, nested INTERPRETs, long strings
   among short ones, and control leaving interpreted code: every result is that of a fresh
   translation */
total = 0
do i = 1 to 3000
  k = i // 300
  interpret 'r' || k '=' k '* 2'
  interpret 'total = total + r' || k
  interpret 'u = ' i '+ 0'
end
say 'recurring.1' total r0 r299 u
n = 0
do i = 1 to 200
  interpret 'interpret "n = n + 1"; interpret ''m = n * 2'''
end
say 'nested.1' n m
long = 'z = 0'
do j = 1 to 150
  long = long || '; z = z + 2'
end
do i = 1 to 3
  interpret 'a = 1'
  interpret long
  interpret 'b = a + z'
end
say 'long.1' z b length(long)
count = 0
again:
count = count + 1
if count < 300 then interpret 'w = count * 3; signal again'
interpret 'v = w + 1'
say 'signal.1' count w v
x = 5
do i = 1 to 4
  interpret 'interpret ''x = x + 1'''
  interpret 'x = x + 1'
end
say 'inner.1' x
