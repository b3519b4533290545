/* Values waiting on the evaluation stack keep their characters while a routine, VALUE or an
   external routine assigns the variable they came from */
p = copies('p', 40); say 'borrow.1' p || k(p) p
q = copies('q', 40); say 'borrow.2' q || value('q', copies('n', 40)) || reuse() q
r = copies('r', 40); say 'borrow.3' r || m() r
s.1 = copies('s', 40); say 'borrow.4' s.1 || n() s.1
call show copies('t', 40)
exit
k: procedure expose p
  p = 'changed'; junk = copies('J', 40)
  return arg(1) || '!'
m: r = copies('R', 40); drop r; junk = copies('J', 40); return '!'
n: s.1 = 'new'; junk = copies('J', 40); return '!'
reuse: junk = copies('J', 40); return '!'
show: procedure
  t = arg(1); drop t; junk = copies('J', 40)
  say 'borrow.5' arg(1)
  return
