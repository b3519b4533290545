/* Stems and compound variables: default values, tail substitution, DROP, UPPER, NOP, OPTIONS */
a. = 0; say 'default.1' a.7 a.xyz
drop a.; say 'default.2' a.7
i = 3; a.i = 'x'; say 'tail.1' a.3 a.i
drop i; a.i = 'y'; say 'tail.2' a.i a.3
k = 'I'; say 'tail.3' a.k
i = 1; j = 2; b.i.j = 'ij'; say 'tail.4' b.1.2 b.i.j
k = 'x y'; c.k = 'blank tail'; say 'tail.5' c.k c.x
k = 'abc'; c.k = 'lower tail'; say 'tail.6' c.k c.abc
f.01 = 'zero one'; say 'tail.7' f.1 f.01
i = '01'; say 'tail.8' f.i
i = 1.0; say 'tail.9' f.i
d.1 = 'one'; d. = 'new'; say 'stem.1' d.1 d.2
d.2 = 'two'; say 'stem.2' d.1 d.2 d.
e.0 = 3; e.1 = 'a'; e.2 = 'b'; e.3 = 'c'; s = ''; do n = 1 to e.0; s = s || e.n; end; say 'stem.3' s
g.1 = 'g'; h = g.1; g.1 = 'changed'; say 'copy.1' h g.1
x = 'value'; drop x; say 'drop.1' x
drop never_set; say 'drop.2' never_set
p = 1; q = 2; r = 3; drop p q; say 'drop.3' p q r
m.1 = 'a'; m.2 = 'b'; drop m.1; say 'drop.4' m.1 m.2
list = 'lp lq'; lp = 1; lq = 2; drop (list) r; say 'drop.5' lp lq r list
u = 'MiXed'; v = 'abc'; upper u v; say 'upper.1' u v
w.1 = 'low'; upper w.1; say 'upper.2' w.1
nop; say 'nop.1 runs'
options 'ETMODE'; options; say 'options.1 accepted'
nm = 'A'; z.nm = 'upper a'; say 'tail.10' z.a z.nm
drop nm; say 'tail.11' z.nm
i = 1; j = 'J2'
x.i.i.i.i.i.i.i.i.i = 'nine'; say 'tails.12' x.1.1.1.1.1.1.1.1.1
x.i.i.i.i.i.i.i.i.i.i = 'ten'; say 'tails.13' x.1.1.1.1.1.1.1.1.1.1
x.i.j.3.i.j.3.i.j.3.i.j = 'eleven'; say 'tails.14' x.1.J2.3.1.J2.3.1.J2.3.1.J2 x.i.j.3.i.j.3.i.j.3.i.j
drop j; say 'tails.15' x.i.j.3.i.j.3.i.j.3.i.j
m = 'a.b'; y.m.m.m.m.m.m.m.m.m.m = 'dots'; n = 'a'; b = 'b'; say 'tails.16' y.m.m.m.m.m.m.m.m.m.m
call t 'err.1', 'upper a.'
call t 'err.2', 'upper 1'
call t 'err.3', 'drop'
call t 'err.4', 'drop (x'
call t 'err.5', '1x = 2'
call t 'err.6', '.x = 2'
call t 'err.7', "long = copies('a', 251); y.long = 1"
call t 'err.8', "long = copies('a', 240); y.long = 1"
call t 'err.9', 'drop "x"'
exit

t: procedure
  parse arg label, clauses
  signal on syntax
  interpret clauses
  say label 'ran'
  return
syntax:
  say label 'error' rc
  return
