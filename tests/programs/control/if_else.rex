/* IF and ELSE: nesting, the dangling ELSE, THEN and ELSE on lines of their own */
x = 1
if x = 1 then say 'if.1 then'
if x = 2 then say 'if.2 wrong'; else say 'if.2 else'
if x = 1 then if x = 2 then say 'if.3 wrong'; else say 'if.3 inner else'
if x = 2 then if x = 1 then say 'if.4 wrong'; else say 'if.4 wrong'; else say 'if.4 outer else'
if x = 1
then say 'if.5 then on the next line'
if x = 1 then
  say 'if.6 instruction on the next line'
if x = 2 then nop
else say 'if.7 else on the next line'
if x = 1 then; else say 'if.8 wrong'
say 'if.8 empty then part'
if x = 1 then do; say 'if.9 group'; say 'if.9 second'; end; else say 'if.9 wrong'
if x = 2 then do; say 'if.10 wrong'; end; else do; say 'if.10 else group'; end
if (x = 1) & (x \= 2) then say 'if.11 compound condition'
if 1 then if 1 then if 0 then nop; else say 'if.12 deepest else'
if x then say 'if.13 variable as logical value'
if x = 1 then
  if x = 1 then
    say 'if.14 nested on lines'
  else
    say 'if.14 wrong'
else
  say 'if.14 wrong'
if x = 2 then say 'if.15 wrong'
else if x = 3 then say 'if.15 wrong'
else if x = 1 then say 'if.15 else if chain'
else say 'if.15 wrong'
if x = 1 then nop; say 'if.16 after nop'
then_ = 'then'; if then_ = 'then' then say 'if.17 symbol like a keyword'
if x = 1 then if x = 2 then nop; else nop; say 'if.18 clause after the IF runs'
do i = 1 to 2; if i = 1 then iterate; else say 'if.19 else in loop' i; end
call t 'if.20', 'if 2 then nop'
call t 'if.21', "if '' then nop"
call t 'if.22', "if 'then' then nop"
call t 'if.23', 'if 1; say 2'
call t 'if.24', 'else nop'
call t 'if.25', 'if 1 then nop; then nop'
call t 'if.26', 'if'
call t 'if.27', 'if 1 then nop; else nop; else nop'
call t 'if.28', 'then'
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
