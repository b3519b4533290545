/* PARSE sources: ARG with several templates, VAR, VALUE, UPPER, NUMERIC, SOURCE, VERSION, PULL, LINEIN */
call multi 'a b', 'c', 'd e f'
call multi 'only one'
call upper_arg 'Mixed case', 'x'
say 'arg.4' fn('p q', 'r')
parse arg whole; say 'arg.5 [' || whole || ']'
s = 'Hello World'; parse var s w1 w2; say 'var.1 [' || w1 || '][' || w2 || ']'
parse upper var s w1 w2; say 'var.2 [' || w1 || '][' || w2 || ']'
parse var unset_var u; say 'var.3 [' || u || ']'
parse value 1 + 1 'x' with a b; say 'value.1 [' || a || '][' || b || ']'
parse value 'with' with a; say 'value.2 [' || a || ']'
parse upper value 'low' || 'er' with a; say 'value.3 [' || a || ']'
parse numeric n; say 'numeric.1 [' || n || ']'
numeric digits 20; numeric fuzz 3; numeric form engineering
parse numeric d f m; say 'numeric.2 [' || d || '][' || f || '][' || m || ']'
numeric digits; numeric fuzz; numeric form
parse source sys how name; say 'source.1 [' || sys || '][' || how || '][' || name || ']'
call inner_source
parse version v; say 'version.1 [' || v || ']'
queue 'first line'; queue 'second Line'; push 'pushed words here'
parse pull p1 p2; say 'pull.1 [' || p1 || '][' || p2 || ']'
pull p1 p2; say 'pull.2 [' || p1 || '][' || p2 || ']'
parse upper pull p1; say 'pull.3 [' || p1 || ']' queued()
parse linein l1; say 'linein.1 [' || l1 || ']'
parse external l2 l3; say 'external.1 [' || l2 || '][' || l3 || ']'
exit

multi:
  parse arg x y, z, q r s, extra
  say 'arg.1 [' || x || '][' || y || '][' || z || '][' || q || '][' || r || '][' || s || '][' || extra || ']' arg()
  return
upper_arg:
  arg x y, z
  say 'arg.3 [' || x || '][' || y || '][' || z || ']'
  return
fn: parse arg x, y; parse arg all; return '[' || x || '][' || y || '][' || all || ']'
inner_source:
  parse source . how .; say 'source.2 [' || how || ']' || '[' || f2() || ']'
  return
f2: parse source . how .; return how
