/* SIGNAL ON and OFF for NOVALUE and SYNTAX, CONDITION(), SIGL, SIGNAL VALUE, trap inheritance */
signal on novalue
x = no_such_var
say 'not reached'
novalue:
say 'novalue.1' sigl condition('C') condition('D') condition('I') condition('S')
say 'novalue.2 trap is off after firing:' still_unset
signal on novalue name nv_compound
i = 7; y = stem.i
nv_compound: say 'novalue.3' condition('D')
signal on novalue name nv_pattern
parse value 'abc' with a (unset_pattern) b
nv_pattern: say 'novalue.4' condition('D')
signal on novalue
signal off novalue
say 'novalue.5 off:' unset_after_off
signal on novalue name nv_routine
call uses_unset
nv_routine: say 'novalue.6 trapped from a routine:' condition('D')
signal off novalue
signal on syntax name main_syntax
z = 'a' * 2
main_syntax:
say 'syntax.1' rc sigl condition('C') condition('D') condition('I')
signal on syntax name lower_label
signal value 'target'
lower_label: say 'syntax.2 label names are upper case:' rc
signal value 'TAR' || 'GET'
say 'not reached'
target: say 'signal.1 reached at line' sigl
signal Twice
twice: say 'signal.2 first of two labels'; signal after_twice
twice: say 'signal.3 wrong label'
after_twice:
s = ''
do i = 1 to 5
  s = s i
  if i = 2 then signal leave_loop
end
leave_loop: say 'signal.4 loop ended' s i
signal on syntax name caller_trap
call turns_off
q = 1 + 'x'
caller_trap: say 'inherit.1 caller trap still on after the routine turned its copy off:' rc
call on error
call on error name handler
call off error
call on failure; call on halt; call on notready; call off halt
signal on halt; signal off halt; signal on error; signal on failure; signal on notready
say 'call on.1 traps armed and disarmed'
call t 'err.1', 'call on syntax'
call t 'err.2', 'call on novalue'
call t 'err.3', 'call on'
call t 'err.4', 'signal on bogus'
call t 'err.5', 'call on error extra'
call t 'err.7', 'signal'
call t 'err.8', 'signal a b'
call t 'err.9', 'signal value'
call t 'err.10', 'signal on error name nolabel'
exit

uses_unset: return unset_in_routine
turns_off:
  signal off syntax
  return
handler: return
t: procedure
  parse arg label, clauses
  signal on syntax
  interpret clauses
  say label 'ran'
  return
syntax:
  say label 'error' rc
  return
