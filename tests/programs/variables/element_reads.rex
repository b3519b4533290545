/* Array elements read through the symbol cache while scopes, aliases and stems change */
do i = 1 to 4; a.i = i * 10; end
i = 2; say 'plain.1' a.i a.3
drop a.2; say 'drop.1' a.i
a. = 'd'; say 'stem.1' a.i a.1
a.2 = 'two'; say 'stem.2' a.i
call one; say 'one.1' result
call deep 3; say 'deep.1' result
call only; say 'only.1' result
k = 4; call tailvar; say 'tailvar.1' result
b.5 = 'five'; n = 5; call noexpose; say 'noexpose.1' result
say 'literal.1' a.2 b.5
c.1 = 'x'; n = 1; c.n = c.n || c.n; say 'self.1' c.1
exit
one: procedure expose a. i
  return a.i a.7
deep: procedure expose a.
  parse arg level
  a.level = 'level' level
  if level > 1 then call deep level - 1
  /* the callee tagged the cache with its own scope: read again here */
  return a.level || ',' || deep_more(level)
deep_more: procedure expose a.
  parse arg m
  return a.m
only: procedure expose a.2
  j = 2; m = 3
  return a.j a.m
tailvar: procedure expose k a.
  r = a.k
  k = 2
  return r a.k
noexpose: procedure
  n = 5
  return b.n
