/* RC and the ERROR and FAILURE conditions of commands */
signal on error name signalled
'exit 3'
say 'not reached'
signalled:
say 'signal on error: rc' rc condition('C') '['condition('D')']' 'line' sigl

call on error
'exit 4'
say 'call on error returned: rc' rc
'true'
say 'success raises nothing: rc' rc
'CD /no/such/folder/for/ketra'
say 'failed cd: rc' rc

/* FAILURE with only ERROR trapped raises nothing */
'no_such_program_for_ketra_tests'
say 'failure, trap off: rc' rc
call off error

call on failure name on_failure
'no_such_program_for_ketra_tests'
say 'call on failure returned: rc' rc
'exit 2'
say 'error with only failure trapped: rc' rc

signal on failure name failed
long = 'true' copies(' ', 1100)
long
say 'not reached'
failed:
say 'long command fails: rc' rc condition('C') 'state' condition('S')

signal on error
signal on failure
'no_such_program_for_ketra_tests arg'
say 'not reached'
failure:
say 'signal on failure: rc' rc condition('C') '['condition('D')']'
exit

on_failure:
say 'call on failure:' condition('C') '['condition('D')']' 'rc' rc
return

error: procedure expose rc
say 'call on error:' condition('C') '['condition('D')']' 'state' condition('S') 'rc' rc
return
