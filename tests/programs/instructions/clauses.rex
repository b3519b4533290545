/* Clauses: keywords used as variable names, continuation, comments, labels, literals, constant symbols */
say = 1; if = 2; do = 3; end = 4; nop = 5
say 'keyword.1' say if do end nop
select = 'sel'; when = 'w'; parse = 'p'; arg = 'a'
say 'keyword.2' select when parse arg
x = 'con',
    'tinued'
say 'continue.1' x
y = 1 +,
  2
say 'continue.2' y
say 'comment.1' /* a comment /* nested */ still a comment */ 'after'
say 'comment.2' 'a'/* between */'b'
z = 1; z = z + 1; z = z * 10; say 'clauses.1' z
lbl: say 'label.1 instruction after a label on the same line'
say 'literal.1' '41'x '4142'X '0100 0001'b "it's" 'say "hi"' 'a''b' "a""b"
say 'literal.2' length('') length("") length('0A'x) ('41'x == 'A') ('61 62'x == 'ab')
say 'symbol.1' 1e3 (1e3 + 0) 1.5E2 .5 007 (007 + 0) 12abc
say 'symbol.2' (1.0 || '') (00012 + 0) ('-0' + 0) (- '1')
a.b = 'compound'; say 'symbol.3' a.b A.B
Mixed_Case = 'folded'; say 'symbol.4' mixed_case MIXED_CASE
exit
