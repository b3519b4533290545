/* Every form of DO, with LEAVE and ITERATE */
s = ''; do i = 1 to 5; s = s i; end; say 'to:' s 'after:' i
s = ''; do i = 10 to 1 by -3; s = s i; end; say 'by negative:' s 'after:' i
s = ''; do i = 1 by 2 for 4; s = s i; end; say 'by for:' s
s = ''; do i = 1 to 3 by 0.5; s = s i; end; say 'fraction:' s
s = ''; do i = 5 to 1; s = s i; end; say 'never:' '['s']' i
n = 0; do 3; n = n + 1; end; say 'count:' n
n = 0; do 0; n = n + 1; end; say 'zero count:' n
n = 0; do forever; n = n + 1; if n = 4 then leave; end; say 'forever leave:' n
n = 0; do while n < 3; n = n + 1; end; say 'while:' n
n = 0; do until n >= 3; n = n + 1; end; say 'until:' n
n = 5; do until n > 0; n = n + 1; end; say 'until runs once:' n
n = 5; do while n < 0; n = n + 1; end; say 'while runs never:' n
s = ''; do i = 1 to 6; if i // 2 then iterate; s = s i; end; say 'iterate:' s
s = ''; do i = 1 to 3; do j = 1 to 3; if j = 2 then iterate i; s = s i || j; end; end; say 'iterate outer:' s
s = ''; do i = 1 to 3; do j = 1 to 3; if i * j = 4 then leave i; s = s i || j; end; end; say 'leave outer:' s
s = ''; do i = 1 to 3; do; if i = 2 then leave; end; s = s i; end; say 'leave from group:' s
s = ''; do i = 1 to 10 while i < 4; s = s i; end; say 'to while:' s
s = ''; do i = 1 to 10 until i >= 4; s = s i; end; say 'to until:' s
s = ''; do i = 1 for 3 by 1 to 100; s = s i; end; say 'any order:' s
lim = 3; s = ''; do i = 1 to lim; lim = 10; s = s i; end; say 'to evaluated once:' s
s = ''; do i = 1 to 3; i = i + 1; s = s i; end; say 'body changes variable:' s
s = ''; do k = 1.0 to 2; s = s k; end; say 'normalised start:' s
x.1 = 'a'; x.2 = 'b'; s = ''; do i = 1 to 2; s = s x.i; end; say 'compound:' s
do i = 1 to 2; end i; say 'end with name:' i
