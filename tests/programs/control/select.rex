/* SELECT with and without OTHERWISE, nested, in loops, with groups */
x = 2
select; when x = 1 then say 'sel.1 wrong'; when x = 2 then say 'sel.1 second'; when x = 2 then say 'sel.1 wrong'; otherwise say 'sel.1 wrong'; end
select; when x = 2 then say 'sel.2 no otherwise needed'; end
select; when x = 5 then say 'sel.3 wrong'; otherwise say 'sel.3 otherwise'; say 'sel.3 second instruction'; end
select; when x = 5 then nop; otherwise; end; say 'sel.4 empty otherwise'
select
  when x = 2 then do
    say 'sel.5 group'
    say 'sel.5 second'
  end
  otherwise nop
end
select
  when x > 1 then
    select
      when x = 2 then say 'sel.6 inner'
      otherwise say 'sel.6 wrong'
    end
  otherwise say 'sel.6 wrong'
end
select
  when x = 2 then if x = 3 then say 'sel.7 wrong'; else say 'sel.7 if in when'
  otherwise say 'sel.7 wrong'
end
s = ''
do i = 1 to 5
  select
    when i = 2 then iterate
    when i = 4 then leave
    otherwise s = s i
  end
end
say 'sel.8 loop:' s
select
  when x = 1 then nop
  when x = 2 then nop
  otherwise say 'sel.9 wrong'
end
say 'sel.9 nop when'
select
  when x = 1
  then say 'sel.10 wrong'
  when x = 2
  then say 'sel.10 then on its own line'
end
n = 0
select; when f() then nop; when f() then nop; otherwise nop; end
say 'sel.11 conditions evaluated until one is true:' n
call t 'sel.12', 'select; when 2 then nop; end'
call t 'sel.13', 'select; when 0 then nop; end'
call t 'sel.14', 'select; end'
call t 'sel.15', 'select; say 1; end'
call t 'sel.16', 'select; otherwise nop; end'
call t 'sel.17', 'when 1 then nop'
call t 'sel.18', 'otherwise nop'
call t 'sel.19', 'select x; when 1 then nop; end'
call t 'sel.20', 'select; when 1 then nop; end x'
call t 'sel.21', 'select; when; end'
call t 'sel.22', 'select; when 1; nop; end'
call t 'sel.23', 'select; when 1 then nop; nop; end'
call t 'sel.24', 'select; when 1 then do; nop; nop; end; end'
exit

f:
  n = n + 1
  return n = 2

t: procedure
  parse arg label, clauses
  signal on syntax
  interpret clauses
  say label 'ran'
  return
syntax:
  say label 'error' rc
  return
