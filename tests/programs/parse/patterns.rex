/* PARSE templates: word splitting, string, variable and positional patterns, placeholders */
call p 'words.1', 'a b c d', 'x y z'
call p 'words.2', '  a  b ', 'x y'
call p 'words.3', '  a b  ', 'x'
call p 'words.4', 'a', 'x y z'
call p 'words.5', 'a' || '09'x || 'b c', 'x y'
call p 'words.6', 'a b c', 'x .'
call p 'words.7', ' a b ', 'x .'
call p 'words.8', 'a b c', '. y'
call p 'words.9', 'a b c', '. . z'
call p 'words.10', '', 'x y'
call p 'string.1', 'k=v', "key '=' val"
call p 'string.2', 'kv', "key '=' val"
call p 'string.3', 'a-b-c', "x '-' y '-' z"
call p 'string.4', 'abc=def', "k '=' +1 v"
call p 'string.5', 'abc', "x '' y"
call p 'string.6', 'one, two three', "x ',' y z"
call p 'string.7', 'aXbXc', "x 'X' y"
call p 'string.8', 'abc', "x 'c' y"
call p 'string.9', 'abcabc', "x 'bc' y 'bc' z"
call p 'pos.1', 'abc', 'x 2 y'
call p 'pos.2', 'abcdef', '3 x +2 y'
call p 'pos.3', 'abcdef', 'x 4 y 2 z'
call p 'pos.4', 'x', 'a -1 b'
call p 'pos.5', 'abcdef', 'x =5 y'
call p 'pos.6', 'abcdef', 'x 0 y'
call p 'pos.7', 'abc', 'x 10 y'
call p 'pos.8', 'abcdef', '3 x 1 y'
call p 'pos.9', 'abcdef', 'x +2 y +2 z'
call p 'pos.10', 'abcdef', '4 x -2 y'
call p 'pos.11', 'abcdef', 'x +0 y'
call p 'pos.12', 'abcdef', '2 x 2 y'
call p 'pos.13', 'abcdef', 'x +100 y'
call p 'pos.14', 'abcdef', '1 x 3 . 5 y'
call p 'pos.15', 'abc', 'x 999999999 y'
call p 'pos.16', 'abcdef', 'x +999999999 y'
call p 'err.0', 'abc', 'x 1e9 y'
sep = ','; n = 2; at = 3
call p 'var.1', 'a,b', 'x (sep) y'
call p 'var.2', 'abcdef', 'x =(at) y'
call p 'var.3', 'abcdef', 'x +(n) y'
call p 'var.4', 'abcdef', '4 x -(n) y'
call p 'var.5', 'aNOSUCHVARb', 'x (nosuchvar) y'
call p 'var.6', 'a.b', "x '.' y"
call p 'var.7', 'a,b', 'x (empty) y'
parse value 'a b c' with w1 rest; parse var rest w2 rest
say 'var.8 [' || w1 || '][' || w2 || '][' || rest || ']'
s = 'first second third'; parse var s head s
say 'var.9 [' || head || '][' || s || ']'
parse upper value 'ab,cd' with x ',' y; say 'upper.1 [' || x || '][' || y || ']'
parse upper value 'abXcd' with x 'X' y; say 'upper.2 [' || x || '][' || y || ']'
parse upper value 'abxcd' with x 'x' y; say 'upper.3 [' || x || '][' || y || ']'
parse value 'a b' with . y; say 'dot.1 [' || y || ']'
call p 'err.1', 'abc', 'x =(neg) y'
call p 'err.2', 'abc', 'x +(letters) y'
call p 'err.3', 'abc', 'x =(frac) y'
call t 'err.4', 'parse value 1 with x +'
call t 'err.5', 'parse value 1 with x (y'
call t 'err.6', 'parse value 1 x'
call t 'err.7', 'parse bogus x'
call t 'err.8', 'parse'
call t 'err.9', 'parse var'
call t 'err.10', 'parse value 1 with x ='
call t 'err.11', 'parse value 1 with x * y'
call t 'err.12', 'parse value 1 with x ()'
exit

/* Parses the string by the template and shows every variable it names */
p: procedure
  parse arg label, string, template
  neg = -1; letters = 'abc'; empty = ''; frac = 1.5; n = 2; at = 3; sep = ','
  signal on syntax
  interpret 'parse value string with' template
  out = label
  do i = 1 to words(template)
    w = word(template, i)
    if symbol_like(w) then interpret 'out = out w"=[" ||' w '|| "]"'
  end
  say out
  return
syntax:
  say label 'error' rc
  return
symbol_like: procedure
  parse arg w
  return verify(left(w, 1), 'abcdefghijklmnopqrstuvwxyz') = 0
t: procedure
  parse arg label, clauses
  signal on syntax
  interpret clauses
  say label 'ran'
  return
syntax:
  say label 'error' rc
  return
