/* A SIGNAL ON handler that returns from the function it trapped in: the caller's expression goes on */
say 'expr.1' 10 + f() 'then' (20 + f())
s = 0; do i = 1 to 3; s = s + g(i) * 2; end; say 'expr.2' s i
say 'expr.3' h(1, h(2, 3))
exit
f: signal on syntax name fs; do j = 1 to 2; x = 1 / 0; end; return 1
fs: return 5
g: procedure
  signal on syntax name gs
  do k = 1 to 3; do m = 1 to 2; if m = 2 then y = 'a' + arg(1); end; end
  return 0
gs: return arg(1) * 10
h: procedure
  signal on novalue name hn
  return arg(1) + undefined
hn: return arg(1) || '!' || arg(2)
