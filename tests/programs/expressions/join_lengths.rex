/* LENGTH of a join counts the characters the join would have: integers by their digits,
   literals as written, blanks and abuttals; an unset variable still raises NOVALUE */
a = 'free'; b = ''; n = 5 * -3; z = 0; big = 999999999; f = 1/4
say 'ints' length(a n) length(n || z) length(big z n) length(a || 12 || 'x') length(a 1.50)
say 'empty' length(b b) length(b || b) length(a b a) length(b'') length('' '')
say 'mixed' length(a (n + 1)) length(a f) length(f || f) length(a || b 'cd' || n)
line.1 = 'one'; i = 1
say 'other' length(line.i a) length(a line.i) left(a n, 6)'|' (length(a a) + length(a || a))
s = copies('x', 20)
say 'long' length(s s s) length(s || 7 || s) length(s a b z)
signal on novalue
say 'unset' length(a nothere)
exit
novalue:
say 'novalue' condition('D') sigl
