say 'start'
call no_such_external_routine
