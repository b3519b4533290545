/* PUSH, QUEUE, PULL and QUEUED(): order, counts, expressions, templates, an empty queue */
say 'count.0' queued()
queue 'q1'; queue 'q2'; push 'p1'; push 'p2'
say 'count.1' queued()
s = ''; do queued(); parse pull line; s = s line; end; say 'order.1' s
say 'count.2' queued()
queue 1 + 1 'items'; push 'a' || 'b'
parse pull x; parse pull y; say 'expr.1 [' || x || '][' || y || ']'
queue; push
parse pull x; parse pull y; say 'empty.1 [' || x || '][' || y || ']' queued()
queue 'alpha beta gamma'
pull first rest; say 'pull.1 [' || first || '][' || rest || ']'
queue 'k=v'
parse pull key '=' val; say 'pull.2 [' || key || '][' || val || ']'
queue '  spaced  '
parse pull line; say 'pull.3 [' || line || ']'
call fill; say 'routine.1' queued()
pull a; pull b; say 'routine.2' a b
do i = 1 to 100; queue i; end; say 'many.1' queued()
s = 0; do while queued() > 0; pull n; s = s + n; end; say 'many.2' s
parse pull line; say 'stdin.1 [' || line || ']'
pull line; say 'stdin.2 [' || line || ']'
exit
fill:
  queue 'from routine'
  push 'pushed in routine'
  return
