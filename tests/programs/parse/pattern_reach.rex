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
/* variable patterns read through a variable that is dropped, exposed or set by INTERPRET */
sep = ';'
do k = 1 to 3
  if k = 2 then drop sep
  if k = 3 then interpret "sep = 'E'"
  parse value 'a;bSEPcEd' with p1 (sep) p2
  say 'var.pattern' k '['p1']['p2']'
end
call in_procedure
call exposing
exit
in_procedure: procedure
  parse value 'a;bSEPc' with p1 (sep) p2
  say 'var.procedure ['p1']['p2']'
  return
exposing: procedure expose sep
  parse value 'xEy' with p1 (sep) p2
  say 'var.exposed ['p1']['p2']'
  return
