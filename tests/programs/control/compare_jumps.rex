/* Comparisons that IF, WHEN, WHILE and UNTIL test, with each operator, true and false */
a = 5; b = '5.0'; s = 'abc'; t = 'abd'
out = ''
if a = b then out = out 'eq'; else out = out '-'
if a == b then out = out 'seq'; else out = out '-'
if a \= b then out = out 'ne'; else out = out '-'
if a \== b then out = out 'sne'; else out = out '-'
if s > t then out = out 'gt'; else out = out '-'
if s <= t then out = out 'le'; else out = out '-'
if s >> t then out = out 'sgt'; else out = out '-'
if s <<= t then out = out 'sle'; else out = out '-'
if s < t then out = out 'lt'; else out = out '-'
if s >= t then out = out 'ge'; else out = out '-'
if s << t then out = out 'slt'; else out = out '-'
if s >>= t then out = out 'sge'; else out = out '-'
say 'if' out
if 3 < 4 then if 'b' == 'b' then say 'nested yes'; else say 'nested no'
n = 0
do while n < 3; n = n + 1; end
m = 0
do until m >= 4; m = m + 1; end
k = 0
do i = 1 to 10 while i * i <= 20; k = k + i; end
say 'loops' n m k i
do v = 1 to 3
  select
    when v == 1 then say 'when' v 'one'
    when v > 1 & v < 3 then say 'when' v 'two'
    otherwise say 'when' v 'other'
  end
end
numeric fuzz 1
if 1.000000001 = 1 then say 'fuzz equal'; else say 'fuzz unequal'
if 1.00000001 = 1 then say 'fuzz equal'; else say 'fuzz unequal'
/* strict equality of short strings made by built-ins, up to the inline length and past it */
out = ''
if strip('abc   ') == 'abc' then out = out 1; else out = out 0
if left('abcdefg', 3) == 'abc' then out = out 1; else out = out 0
if substr('xyzabc', 4) \== 'abc' then out = out 1; else out = out 0
if 'abcdefgh' == 'abcdefgi' then out = out 1; else out = out 0
if reverse('hgfedcba') == 'abcdefgh' then out = out 1; else out = out 0
if 'a' == 'b' then out = out 1; else out = out 0
if space(' a ') == 'a' then out = out 1; else out = out 0
if '' == strip('  ') then out = out 1; else out = out 0
if 'abcdefghi' == left('abcdefghij', 9) then out = out 1; else out = out 0
if 'Abc' == 'abc' then out = out 1; else out = out 0
say 'strict' out
