/* INTERPRET: nesting, labels inside interpreted code, routines, errors inside and after */
interpret 'here: say "label.1 a label in interpreted code is ignored"'
interpret 'call twice 21'; say 'call.1' result
interpret 'y = twice(4)'; say 'call.2' y
interpret "interpret 'interpret ""x3 = 3 * 3""'"; say 'nest.1' x3
code = 'say "nest.2 from a variable"'; interpret 'interpret code'
s = ''; interpret 'do i = 1 to 5; if i = 3 then leave; s = s || i; end'; say 'loop.1' s i
s = ''; do i = 1 to 3; interpret 's = s || i'; end; say 'loop.2' s
interpret 'select; when 1 then say "select.1 in interpreted code"; end'
interpret 'x = 1' '|| 2'
say 'expr.1' x
interpret 'v.1 = "c"; v.2 = "d"'; say 'stem.1' v.1 v.2
n = 'dyn'; interpret n '= 42'; say 'name.1' dyn
interpret 'signal value "TARGET"'
say 'not reached'
target: say 'signal.1 at' sigl
call t 'err.1', 'interpret "x = 1 +"'
call t 'err.2', 'interpret "y = ''a'' + 1"'
call t 'err.3', 'interpret "do"'
call t 'err.4', 'interpret "signal nowhere"'
call t 'err.5', 'interpret'
call t 'err.6', 'interpret "call nothere_either"'
call t 'err.7', 'interpret "interpret ''z = (1''"'
call t 'err.8', 'interpret "q = 1; q = q / 0"'
call t 'err.9', 'do i = 1 to 3; interpret "leave"; end'
interpret 'after = "fine"'; say 'after.1' after
call t 'keep.1', 'interpret "kept = 5"; if kept \= 5 then say wrong'
exit

twice: return arg(1) * 2

t: procedure
  parse arg label, clauses
  signal on syntax
  interpret clauses
  say label 'ran'
  return
syntax:
  say label 'error' rc 'line' sigl
  return
