/* A PARSE clause run again and again: INTERPRET making templates of different shapes at the
   same place, many targets at once, targets that replace the parsed variable, and faults met
   after earlier targets were stored */
texts = "a '-' b|a b c|'=' a|1 a 3 b|a (d) b"
s = 'xy-zw=v 9'
d = 'w'
all = texts
do k = 1 to 10  /* each template twice: made afresh, then found kept */
  if k = 6 then texts = all
  parse var texts t '|' texts
  a = '?'; b = '?'; c = '?'
  interpret 'parse var s' t
  say k '[' || a || '][' || b || '][' || c || ']'
end
/* the same clause with other data each time, and through a routine from two scopes */
do k = 1 to 3
  l = 'key' || k || '=val' || k 'more words'
  parse var l key '=' val rest
  say key val '[' || rest || ']'
end
call twice 'p q r'
call twice 's t'
/* more targets than one batch holds, the parsed variable among them */
w = ''
do k = 1 to 40
  w = w 'w' || k
end
w = strip(w)
parse var w v1 v2 v3 v4 v5 v6 v7 v8 v9 v10 v11 v12 v13 v14 v15 v16 v17 v18 v19 v20,
  w v22 v23 v24 v25 v26 v27 v28 v29 v30 v31 v32 v33 v34 v35 v36 v37 v38 v39 v40
say v1 v20 '[' || w || ']' v22 v33 v40
line = 'alpha=one beta=two gamma=three delta=four'
parse var line 'alpha=' line . 'beta=' b2 . 'gamma=' g . 'delta=' dl
say line b2 g dl
/* a pattern and a word end at every place of strings around sixteen characters long */
do n = 12 to 36
  s = left(copies('abcdefghij', 4), n - 1) || '#'
  parse var s head '#' tail
  t = overlay(' ', s, n % 2)
  parse var t w1 w2
  say n length(head) '[' || tail || ']' length(w1) length(w2)
end
do k = 10 to 16
  s = 'x#' || copies('y', k) || '#z'
  parse var s a '#' b '#' c
  say k a length(b) c
end
/* variable operands read after the targets before them were stored, and in integer form */
s = '2abcdef'
parse var s p +1 x +(p) y
say p x y
d = 2 + 3
parse value 'a5b' with u (d) v =(d) z
say u v z
/* INTERPRET templates alike but for their patterns, which differ each time */
long = copies('ab', 118)
bad = 0
do k = 1 to 30
  p = long || k
  src = 'a' p 'b' p 'c' p 'd' p 'e'
  interpret "parse var src v '"p"' w '"p"' x '"p"' y '"p"' z"
  if v w x y z \== 'a   b   c   d   e' then bad = bad + 1
  interpret "parse var src v '"k"' w"
  if v \== 'a' long then bad = bad + 1
end
say 'patterns that differ' bad
/* a position that is not a whole number stops the clause after the targets before it */
signal on syntax name bad
x = 'old'; y = 'old'
parse value 'abcdef' with x 3 y =1.5 z
say 'not reached'
bad:
say 'error' rc x y
exit

twice: procedure
  parse arg first rest
  say first '[' || rest || ']'
  return
