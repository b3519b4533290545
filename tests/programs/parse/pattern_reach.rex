/* String patterns found near the cursor and far from it, with false starts on the way */
base = 'abcdefghijklmnopqrstuvwxyz0123456789'
do k = 14 to 19
  s = left(base, k) || '=>' || 'tail'
  parse var s head '=>' rest
  say k length(head) rest
end
s = copies('=', 20) || '=>x' || copies('=', 20) || '=>y'
parse var s a '=>' b '=>' c
say length(a) length(b) c
parse value copies('ab', 30) 'abc' with d 'abc' e
say length(d) '['e']'
parse value copies('x', 40) with f 'xy' g
say length(f) '['g']'
parse value 'aaaaaaaaaaaaaaaaaaaaab' with h 'ab' i
say length(h) '['i']'
