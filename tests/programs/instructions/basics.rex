/* Assignment, SAY, IF, SELECT, NOP, DROP, UPPER, EXIT */
a = 'hello'; say 'assign:' a
say 'empty say follows'
say
b = 3 + 4 * 2; say 'precedence:' b
if b = 11 then say 'if then: yes'; else say 'if then: no'
if b > 20 then say 'if else: no'; else say 'if else: yes'
if b = 11 then nop; else say 'nop: wrong'
say 'nop: ok'
select
  when b < 5 then say 'select: small'
  when b < 20 then say 'select: middle'
  otherwise say 'select: large'
end
select; when 0 then nop; otherwise; say 'otherwise: reached'; end
c = 'x'; drop c; say 'drop:' c
d.1 = 1; d.2 = 2; drop d.; say 'drop stem:' d.1 d.2
e = 'mixed Case'; upper e; say 'upper:' e
f = 12; upper f; say 'upper number:' f
g = 'a'; h = 'b'; drop g h; say 'drop list:' g h
names = 'p q'; p = 1; q = 2; drop (names); say 'drop indirect:' p q names
x = 5; y = x; x = 6; say 'copy semantics:' y
z. = 'default'; z.1 = 'one'; say 'stem default:' z.1 z.2
say 'concat:' 'a'||'b' 'a' 'b' 'a''b'
say 'logical:' (1 & 0) (1 | 0) (1 && 1) (\0)
say 'comparison:' (1 = 1.0) (1 == 1.0) ('a' < 'b') (' x' = 'x ') (' x' == 'x')
exit 0
