/* DO with a control variable that the body, a routine or INTERPRET changes, and loops whose
   numbers leave the range of whole numbers kept in binary: every step and test still sees the
   variable's current value */
s = ''; do i = 1 to 5; if i = 2 then i = 2.5; s = s i; end; say 'fraction.1' s 'after' i
s = ''; do i = 1 to 5; if i = 2 then i = ' 3 '; s = s || '[' || i || ']'; end; say 'blanks.1' s i
s = ''; do i = 1 to 10; call bump; s = s i; end; say 'routine.1' s 'after' i
s = ''; do i = 1 to 6; interpret 'i = i * 2'; s = s i; end; say 'interpret.1' s 'after' i
s = ''; do i = 3 to -3 by -2; s = s i; end; say 'down.1' s 'after' i
s = ''; do i = 1 to 10 for 3; s = s i; end; say 'for.1' s 'after' i
s = ''; do i = 1 to 3; do j = i to 3; s = s || i || j; end; end; say 'nest.1' s i j
numeric digits 12
s = ''; do i = 999999998 to 1000000001; s = s i; end; say 'wide.1' s 'after' i
s = ''; do i = -999999998 to -1000000001 by -1; s = s i; end; say 'wide.2' s 'after' i
s = ''; do i = 999999997 by 1 for 4; s = s i; end; say 'wide.3' s 'after' i
numeric digits 4
s = ''; do i = 998 to 1001; s = s i; end; say 'digits4.1' s 'after' i
numeric digits 9
s = ''; do i = 1 to 3; if i = 2 then numeric digits 5; s = s i; end; say 'digits.2' s 'after' i
numeric digits
numeric fuzz 1
s = ''; do i = 99999998 to 100000000; s = s i; end; say 'fuzz.1' s 'after' i
numeric fuzz 0
i = 0; call exposed; say 'expose.1' i
say 'recurse.1' tri(4) tri(1)
call t 'drop.1', 'do i = 1 to 3; drop i; end'
call t 'string.1', 'do i = 1 to 3; i = "x"; end'
s = ''; do i = 1 to 3; s = s i; end; say 'plain.1' s 'after' i
exit

bump:
  i = i + 3
  return

exposed: procedure expose i
  do i = 1 to 3; end
  return

tri: procedure
  parse arg n
  t = 0
  do k = 1 to n
    t = t + k
    if k = n & n > 1 then t = t + tri(n - 1)
  end
  return t

t: procedure
  parse arg label, clauses
  signal on syntax
  interpret clauses
  say label 'ran'
  return
syntax:
  say label 'error' rc
  return
