/* Computed fractions used again as operands: after the precision changes, after their
   characters are rewritten in place (PARSE, appending), through copies, arguments, stems,
   INTERPRET and string functions */
a = 1 / 7
b = -2 / 3
c = 1 / 2400
say 'made' a b c
say 'again' a + 1 b * 3 c * 2400 a - b
numeric digits 5
say 'digits5' a + 0 b + 0 c + 0 a * b
numeric digits 20
say 'digits20' a + 0 b + 0 c + 0 a / 3
numeric digits 16
say 'digits16' a + 0 b * 1 c / 7
numeric digits
/* the variable's characters are overwritten by PARSE and by appending */
h = 10 / 3
parse value '7.654321' with h
say 'parsed' h h + 1
h = 10 / 3
parse value '12.3456789' with h
say 'parsed long' h h + 1
k = 10 / 3
k = k || '9'
say 'appended' k k + 0
k = 10 / 3
k = k'1' || 2
say 'appended twice' k k * 1
/* copies and other owners of the same characters */
s.1 = 1 / 7
t = s.1
drop s.
say 'copy' t t * 7
call show a, b
say 'returned' twice(a)
interpret 'say "interpreted"' a '+' b
say 'functions' substr(a, 3, 4) reverse(a) + 0 abs(b) (a = '0.142857143')
say 'compare' (a > b) (a == 0.142857143) (b < -0.666)
q = 3.3333333333 / 1
say 'exponent' (a * 1e20) (c / 1e10) q
exit

show:
  say 'args' arg(1) + arg(2) arg(1) * 0
  return

twice:
  procedure
  return arg(1) + arg(1)
