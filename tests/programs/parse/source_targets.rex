/* PARSE whose targets replace the variable the source came from, patterns that read targets
   assigned earlier in the same template, targets assigned before an error, and whole numbers
   given whole to one target */
l = 'alpha beta gamma delta epsilon'
parse var l l rest; say 'first [' || l || '][' || rest || ']'
l = 'alpha beta gamma delta epsilon'
parse var l w1 l w3; say 'middle [' || w1 || '][' || l || '][' || w3 || ']'
l = 'abcdefghijklmnop qrstuvwxyz0123'
parse var l x l; say 'in.place [' || x || '][' || l || ']'
l = 'one two three four five six'
parse upper var l l l rest; say 'twice [' || l || '][' || rest || ']'
s.1 = 'one two three four five six'
parse var s.1 s.1 rest; say 'compound [' || s.1 || '][' || rest || ']'
s.1 = 'one two three four five six'
parse var s.1 a s.; say 'stem [' || a || '][' || s.1 || '][' || s.99 || ']'
l = 'seven eight nine ten eleven'
parse var l l c.1 d; say 'then.compound [' || l || '][' || c.1 || '][' || d || ']'
l = 'first second third fourth'
call exposed l
say 'exposed [' || l || ']'
parse value ',a,b,c' with sep +1 x (sep) y; say 'pattern.reads [' || sep || '][' || x || '][' || y || ']'
parse value 'ab3def' with . +2 n +1 z +(n) rest; say 'position.reads [' || n || '][' || z || '][' || rest || ']'
call whole 12, -3
signal on syntax
x = 'old'
parse value 'abc' with x 'b' y 1.5 z
say 'not reached'
exit
syntax:
  say 'error' rc 'with x [' || x || ']'
  exit
exposed: procedure expose l
  parse arg l rest
  say 'arg [' || l || '][' || rest || ']'
  parse var l l
  return
whole:
  parse arg a, b; parse arg c.1, .; parse upper arg d; parse arg e.; parse arg ., f
  say 'whole.args [' || a || '][' || b || '][' || c.1 || '][' || d || '][' || e.7 || '][' || f || ']'
  parse value 2 * 21 with g; parse value -7 with h, i; parse value 123 with 2 j
  say 'whole.value [' || g || '][' || h || '][' || i || '][' || j || ']' length(g) g + 1 h * 2
  return
