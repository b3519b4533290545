/* PARSE stores each piece as it is found: a target that copies the source first (a compound)
   before simple targets and the source variable itself, folded or not; targets whose values
   change between short and long forms from run to run; a dropped target; a pattern that reads
   a target stored by the same template; targets inside INTERPRET and a PROCEDURE */
l = 'alpha beta gamma delta epsilon zeta'
parse var l c.1 a l b rest; say 'copied [' || c.1 || '][' || a || '][' || l || '][' || b || '][' || rest || ']'
l = 'alpha beta gamma delta epsilon zeta'
parse upper var l c.2 a l b; say 'copied.upper [' || c.2 || '][' || a || '][' || l || '][' || b || ']'
l = 'one two three four five six seven eight'
parse var l l 'four' c.3 l2; say 'itself.then.compound [' || l || '][' || c.3 || '][' || l2 || ']'
lines.1 = 'id=7 text=a much longer piece of text here'
lines.2 = 'id=12345678901 text=short'
lines.3 = 'id=x text=another much longer piece of text'
lines.4 = 'id=-42 text=0012'
do i = 1 to 4
  line = lines.i
  parse var line 'id=' id 'text=' text
  say 'round' i '[' || id || '][' || text || ']'
end
say 'last' id + 1 text + 1 (text = 12) (text == 12) length(text)
a = 'value'; drop a
parse value 'one two' with a b; say 'dropped [' || a || '][' || b || ']'
parse value ':k:v:w' with sep +1 key (sep) val (sep) rest; say 'reads [' || sep || '][' || key || '][' || val || '][' || rest || ']'
parse value '1234567890abcdef' with n +1 a +(n) b +(n) c; say 'widths [' || n || '][' || a || '][' || b || '][' || c || ']'
interpret "parse var l x y"; say 'interpret [' || x || '][' || y || ']'
call inner 'first second third'
say 'after [' || p || '][' || q || ']'
exit
inner: procedure expose q
  parse arg p q
  say 'inner [' || p || '][' || q || ']'
  return
