/* DO: the phrases are evaluated in the order written; WHILE and UNTIL tests against TO */
s = ''
do i = f('a', 1) by f('b', 1) to f('c', 2) for f('d', 5); end
say 'order.1' s
s = ''
do i = f('a', 1) for f('d', 5) to f('c', 2) by f('b', 1); end
say 'order.2' s
s = ''
do i = 1 to 3 while f('w', 1); s = s || i; end; s = s '|'; do i = 1 to 3 until f('u', 0); s = s || i; end
say 'order.3' s
signal on syntax
do i = 1 for -1 to 'x'; end
exit
syntax: say 'first error' rc
exit
f: s = s || arg(1); return arg(2)
