/* Program information and NUMERIC functions: each line is a label and its result in brackets */
say 'arg.0 [' || arg() || ']'
call show 'arg.1', f(, 2)
call show 'digits.1', digits() fuzz() form()
numeric digits 12
numeric fuzz 2
numeric form engineering
call show 'digits.2', digits() fuzz() form()
numeric digits
numeric fuzz
numeric form
call show 'abs.1', abs(-12.30) abs(' 7 ')
call show 'sign.1', sign(-0.01) sign(0) sign('1E5')
call show 'max.1', max(1, 1.0) min(1.0, 1) max(3, -5, 12.5) min(3, -5, 12.5)
call show 'errortext.1', errortext(40)
call show 'errortext.2', errortext(23)
call show 'condition.1', condition() || '/' || condition('C')
call show 'sourceline.1', sourceline()
call show 'sourceline.2', sourceline(1)
call show 'trace.1', trace()
call show 'trace.2', trace('e') trace() trace('n')
call show 'queued.1', queued()
queue 'one'
push 'two'
call show 'queued.2', queued()
pull .
pull .
call show 'fixed.1', externals() zymversion() stackstatus() scrmethod()
call show 'address.1', address()
signal on novalue
say undefined_variable
exit

novalue:
  call show 'condition.2', condition('C') condition('D') condition('I') condition('S')
  exit

f:
  return arg() arg(1, 'E') arg(2, 'E') arg(1, 'O') '[' || arg(1) || ']' arg(2)

show: procedure
  parse arg label, text
  say label '[' || text || ']'
  return
