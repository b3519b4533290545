/* CALL ON traps are made at the end of the clause that raised them, wherever that clause falls
   among the halt checks, also when a handler raises another condition */
call on error
call on failure
log = ''
do i = 1 to 9
  'exit' i; log = log 'after'i
end
say strip(log)

/* the same clause once per pass, with a varying number of clauses in between */
log = ''
do i = 1 to 6
  do j = 1 to i; nop; end
  'exit' i
  log = log 'after'i
end
say strip(log)

/* a handler whose own command fails: that call is made at the end of the handler's clause */
log = ''
'exit 7'; log = log 'next'
say strip(log)
exit

error:
  log = log 'E'rc
  if rc = 7 then do; 'no_such_program_for_ketra_tests'; log = log 'back'; end
  return
failure:
  log = log 'F'
  return
