/* PARSE that gives the whole string to one target, of every kind, and into the variable the
   string came from */
l = 'a long value with several words in it'
parse var l l; say 'itself [' || l || ']'
parse upper var l l; say 'upper.itself [' || l || ']'
parse var l m; l = 'changed'; say 'copy [' || m || '][' || l || ']'
s.1 = 'one two three four five six seven'
parse var s.1 s.1; say 'compound.itself [' || s.1 || ']'
parse var s.1 s.2; s.1 = 'x'; say 'compound [' || s.2 || '][' || s.1 || ']'
parse var m t.; say 'stem [' || t.7 || '][' || t.abc || ']'
parse var m .; say 'placeholder [' || m || ']'
parse value '' with e; say 'empty [' || e || '] length' length(e)
parse value 12 with n; say 'whole' n + 1 '[' || n || ']'
parse value ' 12 ' with n; say 'blanks [' || n || ']' n + 1
parse var nosuch v; say 'unset [' || v || ']'
call args 'first argument', 'second'
call exposed
say 'exposed [' || l || ']'
exit
args:
  parse arg x; say 'arg [' || x || ']'
  parse upper arg x, y; say 'args [' || x || '][' || y || ']'
  parse arg , , z; say 'absent [' || z || ']'
  return
exposed: procedure expose l
  parse upper var l l
  return
