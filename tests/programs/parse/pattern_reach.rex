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
/* words of every length around eight characters, the last ones ending the string */
s = ''
do k = 1 to 18
  s = s || copies(substr('abcdefghijklmnopqrstuvwxyz', k, 1), k) || ' '
end
s = strip(s)
do k = 1 to 18
  parse var s w s
  say k length(w) left(w, 1) length(s)
end
parse value 'abcdefghij  klmnopqrstu' with w1 w2 w3
say '['w1']['w2']['w3']'
