/* SIGNAL ON and CALL ON traps, condition names, SIGL, SIGNAL VALUE */
signal on novalue
say 'before novalue'
x = undefined_variable
say 'not reached'
novalue: say 'novalue trapped at line' sigl
say 'unset after trap is its name:' another_one
signal on syntax
y = 1 + 'a'
say 'not reached'
syntax: say 'syntax trapped: rc' rc 'line' sigl
signal on syntax name mysyntax
z = 1 / 0
mysyntax: say 'named handler: rc' rc
signal off syntax
signal value 'LABEL' || 2
label1: say 'wrong label'
label2: say 'signal value reached label2'
call on error
address NOBODY 'unknown-command-for-nobody'
say 'unserved environment: rc' rc 'no condition'
call on halt name onhalt
say 'call on halt armed'
signal done
onhalt: say 'halt handler'; return
done: say 'done'
