/* Array elements read in loops while the stem, the tail variable and the scope change under them */
do i = 1 to 3; a.i = 'v'i; end
out = ''
do i = 0 to 4; out = out a.i; end
say 'edges:' out
drop a.
out = ''
do i = 1 to 2; out = out a.i; end
say 'dropped stem:' out
a. = 'dflt'; a.2 = 'two'
out = ''
do i = 1 to 3; out = out a.i; if i = 2 then drop a.2; end
say 'default:' out a.2
i = -1; a.i = 'neg'; j = -1; say 'negative:' a.i a.j
drop i; say 'unset tail:' a.i
a.I = 'named'; say 'by name:' a.i
i = 007; a.7 = 'seven'; say 'not plain:' a.i
do i = 1 to 3; interpret 'a.i = a.i || "+"'; end
say 'interpret:' a.1 a.2 a.3
do i = 1 to 3; a.i = copies(i, 12); end; a.2 = 22; x = ''
out = ''
do i = 1 to 3; x = a.i; a.i = 'changed'; out = out x; end
say 'copied:' out a.1
b.1 = 'outer'; i = 1
say 'routine:' inner() b.i
signal on novalue
drop c.; i = 1
say c.i
exit
inner: procedure
  i = 1; b.1 = 'inner'
  return b.i
novalue:
  say 'novalue:' condition('D')
