/* DO: the control variable after the loop, LEAVE and ITERATE with names, nested loops */
do i = 1 to 3; end; say 'after.1' i
do i = 1 to 3; if i = 2 then leave; end; say 'after.2' i
do i = 3 to 1; end; say 'after.3' i
do i = 1 by 2 to 6; end; say 'after.4' i
do i = 1 for 3; end; say 'after.5' i
do i = 1 to 10 while i < 3; end; say 'after.6' i
do i = 1 until i >= 3; end; say 'after.7' i
do i = 1 to 3 while 0; end; say 'after.8' i
do i = 1 for 0; end; say 'after.9' i
do i = 1 to 5 for 2; end; say 'after.10' i
do a.1 = 1 to 3; end; say 'after.11' a.1
s = ''; do i = 1 to 3; do j = 1 to 3; if j > i then iterate i; s = s || i || j; end j; end i
say 'named.1' s
s = ''; do i = 1 to 3; do j = 1 to 3; if j = 2 then leave j; s = s i || j; end; end
say 'named.2' s
s = ''; do a = 1 to 2; do b = 1 to 2; do c = 1 to 2; if c = 2 then iterate a; s = s a || b || c; end; end; end
say 'named.3' s
s = ''; do a = 1 to 2; do b = 1 to 2; do c = 1 to 2; if b = 2 then leave a; s = s a || b || c; end; end; end
say 'named.4' s 'a=' || a 'b=' || b 'c=' || c
s = ''; do i = 1 to 3; do; do; if i = 2 then iterate; end; end; s = s i; end
say 'named.5' s
n = 0; do forever; n = n + 1; if n < 3 then iterate; leave; end; say 'forever.1' n
n = 0; do forever; n = n + 1; do j = 1 to 3; if n = 2 then leave; end; if n = 3 then leave; end
say 'forever.2' n j
n = 3; s = ''; do n; s = s || n; n = n - 1; end; say 'count.1' s
s = ''; do 1 + 1; s = s || 'x'; end; say 'count.2' s
s = ''; do 2.0; s = s || 'y'; end; say 'count.3' s
s = ''; do 1e1; s = s || 'z'; end; say 'count.4' s
s = ''; do 3 while s \= 'ww'; s = s || 'w'; end; say 'count.5' s
s = ''; do 5 until length(s) = 2; s = s || 'v'; end; say 'count.6' s
s = ''; do i = 0.1 to 0.35 by 0.1; s = s i; end; say 'step.1' s
s = ''; do i = -1 to -3 by -1; s = s i; end; say 'step.2' s
s = ''; do i = 1 by 0 for 3; s = s i; end; say 'step.3' s
step = 2; s = ''; do i = 1 to 7 by step; step = 1; s = s i; end; say 'step.4' s
s = ''; do ' 3 '; s = s || 'a'; end; say 'count.7' s
s = ''; do '3.00'; s = s || 'b'; end; say 'count.8' s
s = ''; do i = 1 for 2E0; s = s || i; end; say 'count.9' s
s = ''; do i = 1 to 5 by 0 for 3; s = s i; end; say 'by0.1 [' || s || ']'
s = ''; do i = 5 to 1 by 0 for 3; s = s i; end; say 'by0.2 [' || s || ']'
s = ''; do i = 3 to 3 by -1; s = s i; end; say 'by0.3 [' || s || ']'
s = ''; do i = 5 by -2; if i < 0 then leave; s = s i; end; say 'step.5' s
s = ''; do i = 1 to 3; s = s i; signal out; end
out: say 'signal.1 out of loop' s i
s = ''
do i = 1 to 3
  select
    when i = 2 then do; s = s 'two'; iterate; end
    otherwise s = s i
  end
  s = s || '.'
end
say 'select.1' s
s = ''; do i = 1 to 2; do j = 1 to 2; s = s i || j; end; end; say 'nest.1' s 'j=' || j
s = ''; do i = 1 to 2; do i = 1 to 2; s = s i; end; end; say 'nest.2 same variable' s
s = ''; do k = 1 to 3; s = s k; end k; say 'end.1' s
call t 'err.1', 'do i = 1 to 3 to 4; end'
call t 'err.2', 'do i = 1; end j'
call t 'err.3', 'leave'
call t 'err.4', 'do i = 1 to 2; iterate j; end'
call t 'err.5', 'do i = 1 to 2; leave i j; end'
call t 'err.6', 'do 3 while 1 until 1; end'
call t 'err.7', 'do forever while; end'
call t 'err.8', 'do; nop'
call t 'err.9', 'end'
call t 'err.10', 'do i = 1 by 1 by 2; end'
call t 'err.11', 'do i = 1 for 2 for 3; end'
call t 'err.12', 'do; end; end'
call t 'err.13', 'do 2; leave; end; iterate'
call t 'err.14', 'do i = 1 to 2; end i j'
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
