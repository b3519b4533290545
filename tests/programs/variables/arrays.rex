/* Arrays: whole-number tails through PROCEDURE EXPOSE, DROP of the stem, lookalike tails */
do i = 1 to 5; a.i = i * i; end
a.0 = 5
call total; say 'sum.1' result
drop a.; say 'drop.1' a.1 a.0
a. = 'd'; a.3 = 'three'; i = 3; say 'default.1' a.2 a.i a.03
i = -3; a.i = 'minus'; say 'neg.1' a.i a.3
i = ' 3'; say 'blank.1' a.i
i = 3.0; say 'fraction.1' a.i
drop a.3; i = 3; say 'dropped.1' a.i a.4
call peek 4; say 'exposed.1' a.4
b.1 = 'b'; c = 1; b.c = b.c || b.c; say 'self.1' b.1
exit
total: procedure expose a.
  s = 0
  do k = 1 to a.0; s = s + a.k; end
  return s
peek: procedure expose a.
  parse arg j
  a.j = 'set by peek'
  return
