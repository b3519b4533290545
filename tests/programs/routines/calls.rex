/* Internal routines: CALL, functions, RESULT, SIGL, arguments, PROCEDURE, EXPOSE, recursion */
call sub 'one', 'two'
say 'result after call:' result
call noresult
say 'result dropped:' result
say 'function:' double(21)
say 'nested functions:' double(double(2))
say 'recursion:' fact(10)
x = 'outer'; call hide; say 'procedure hides:' x
y = 1; call share; say 'expose:' y
s.1 = 'a'; call stems; say 'expose stem:' s.1 s.2
list = 'm n'; m = 1; n = 2; call indirect; say 'expose list:' m n
call where; say 'sigl:' sigl
say 'omitted args:' omitted(1,,3)
call numbers; say 'numeric inside:' digits_seen 'after:' 1/3
exit

sub: parse arg arg_one, arg_two
  say 'sub parsed:' arg_one arg_two
  return 'subresult'

noresult: return

double: parse arg v; return v * 2

fact: procedure
  parse arg n
  if n <= 1 then return 1
  return n * fact(n - 1)

hide: procedure
  x = 'inner'
  return

share: procedure expose y
  y = y + 1
  return

stems: procedure expose s.
  s.2 = 'b'
  return

indirect: procedure expose (list)
  m = m * 10; n = n * 10
  return

where: return

omitted: procedure
  parse arg a, b, c
  return a '[' || b || ']' c

numbers:
  numeric digits 5
  digits_seen = 1/3
  return
