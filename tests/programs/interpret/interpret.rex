/* INTERPRET: assignments, loops, nesting, new variables, SIGNAL out of it */
interpret 'a = 1 + 2'
say 'assign:' a
s = ''; interpret 'do i = 1 to 3; s = s || i; end'; say 'loop:' s
cmd = 'say "nested:" 5 * 5'
interpret 'interpret cmd'
interpret 'v' || 3 '= "made"'; say 'built name:' v3
interpret 'if a = 3 then b = "yes"; else b = "no"'; say 'if:' b
call sub; say 'routine with interpret:' result
interpret 'signal out'
say 'not reached'
out: say 'signal out of interpret'
interpret ''
say 'empty interpret'
exit
sub: interpret 'return 42'
