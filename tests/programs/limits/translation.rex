/* Translation limits and checks reached through INTERPRET: arguments, nesting depth, clause forms */
call t 'args.1', 'x = max(' || copies('1, ', 249) || '2); if x \= 2 then say wrong'
call t 'args.2', 'x = max(' || copies('1, ', 250) || '2)'
call t 'nest.1', copies('do; ', 100) || copies('end; ', 100)
call t 'nest.2', copies('do; ', 101) || copies('end; ', 101)
call t 'nest.3', copies('if 1 then do; ', 50) || copies('end; ', 50)
call t 'clause.1', 'call (x)'
call t 'clause.2', 'call'
call t 'clause.3', 'numeric'
call t 'clause.4', 'numeric form scientific extra'
call t 'clause.5', 'numeric form "SCIENTIFIC"'
call t 'clause.6', 'numeric form value "ENG" || "INEERING"'
call t 'clause.7', 'select; when 1 then nop; otherwise nop; when 1 then nop; end'
call t 'clause.8', 'select; when 1 then nop; otherwise nop; otherwise nop; end'
call t 'clause.9', 'do; end x'
call t 'clause.10', 'do; leave; end'
call t 'clause.11', 'do 2; do; iterate; end; end'
call t 'clause.12', 'x = f('
call t 'clause.13', 'x = 1)'
call t 'clause.14', 'x = 1 +'
call t 'clause.15', 'x = * 2'
call t 'clause.16', 'x = ()'
call t 'clause.17', 'x = 1,'
call t 'clause.18', 'drop a (b) c.1 d.'
call t 'numeric.1', 'numeric digits 20; numeric fuzz 10; numeric digits'
call t 'numeric.2', 'numeric digits 0'
call t 'numeric.3', 'numeric digits -1'
call t 'numeric.4', 'numeric fuzz -1'
call t 'numeric.5', 'numeric fuzz 1.5'
call t 'numeric.6', 'numeric digits 1; if 2/3 \= 0.7 then say wrong'
call t 'numeric.7', 'numeric form value "x"'
call t 'numeric.8', 'numeric digits 2.0; numeric fuzz 1.0'
call t 'numeric.9', 'numeric digits "a"'
call t 'numeric.10', 'numeric digits 20; numeric fuzz 5; numeric digits 5'
call t 'numeric.11', 'numeric digits 20; numeric fuzz 5; numeric digits 6; if fuzz() \= 5 then say wrong'
exit

t: procedure
  parse arg label, clauses
  signal on syntax
  interpret clauses
  say label 'ran'
  return
syntax:
  say label 'error' rc
  return
