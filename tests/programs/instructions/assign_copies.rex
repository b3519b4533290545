/* An assigned value that the variable does not own is copied, into the variable's own buffer
   when that holds it: later changes to either side must not show through the other */
a = copies('abc', 10); b = copies('xyz', 9)
a = b
b = 'changed'
say 'own.1' a length(a) b
a = copies('q', 40)
say 'own.2' a length(a)
a = a; a = a
say 'own.3' a length(a)
c = copies('z', 100); d = copies('y', 20)
c = d; d = d'!'
say 'own.4' c length(c) d
do i = 1 to 4
  line.i = copies(i, 10 + 7 * (i // 3))
end
do i = 1 to 4
  l = line.i
  say 'lines.'i l length(l) line.i
end
l = 'short'
say 'lines.5' l line.3
/* text that may be a number keeps its value through the copy */
f = '12345678901234'; g = copies('-', 12); g = f
say 'number.1' g (g + 1) (g == f)
y = 1234567 + 0.5; x = copies('x', 20); x = y
say 'number.2' x (x + 1) (x * 2) y
w = '-123456789'; v = w
say 'number.3' v (v - 1) ('0012' + 0)
/* a dropped variable, and a variable exposed to a routine */
h = copies('k', 12); drop k; k = h
say 'dropped' k length(k)
call setit
say 'exposed' e length(e)
exit
setit: procedure expose e h
  e = copies('e', 30)
  e = h
  return
