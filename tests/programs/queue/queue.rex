/* PUSH, QUEUE, PULL, PARSE PULL; standard input when the queue is empty */
push 'first pushed'
push 'second pushed'
parse pull line; say 'lifo:' line
parse pull line; say 'lifo:' line
queue 'first queued'
queue 'second queued'
parse pull line; say 'fifo:' line
parse pull line; say 'fifo:' line
queue 'mixed case'
pull line; say 'pull upper:' line
push
parse pull line; say 'empty push:' '['line']'
parse pull line; say 'from stdin:' line
pull w1 w2; say 'stdin pull words:' w1 '/' w2
parse pull line; say 'stdin at end:' '['line']'
