/* External REXX routines in files beside the program: calls, functions, arguments, isolation */
caller_var = 'visible?'
say 'func.1' extinfo('a', , 'c')
call extinfo 'x y'; say 'call.1' result
call extnone; say 'call.2' result
say 'exit.1' extexit(21)
call extexit 4; say 'exit.2' result
say 'chain.1' extchain()
say 'upper.1' extupper('one two three', 'four')
say 'digits.1' 2/3
say 'loop.1' loop_calls()
signal on syntax
x = extnone()
say 'not reached'
syntax: say 'noresult.1' rc
exit
loop_calls:
  s = ''
  do i = 1 to 3; s = s || word(extinfo(i), 2); end
  return s
