/* More on CALL and functions: built-ins called by CALL, SIGL, arguments, recursion, inherited settings */
call length 'abcd'; say 'builtin.1' result
call max 3, 9, 4; say 'builtin.2' result
result = 'preset'; call noval; say 'result.1' result
call withval; call noval; say 'result.2' result
call where
say 'sigl.1' sigl
call where_hidden; say 'sigl.2' result
call where_exposed; say 'sigl.3' result
say 'args.1' count() count(1) count(,) count(1, ,3) count('')
say 'args.2' show(' a ', 'b')
call show2 1 + 1, 'x' 'y', (3 * 3); say 'args.3' result
say 'args.4' upper_args('mixed Case', 'two')
say 'recursion.1' even(10) even(7)
say 'recursion.2' depth(150)
say 'recursion.3' fib(15)
numeric digits 5
say 'numeric.1' third() 1/3
numeric digits
say 'nested.1' twice(twice(twice(1)))
call jumper; say 'signal.1' result
x = 0; say 'side.1' bump() bump() x
exit

noval: return
withval: return 'value'
where: say 'sigl.0' sigl; return
where_hidden: procedure; return sigl
where_exposed: procedure expose sigl; return sigl
count: return arg()
show: return '[' || arg(1) || '][' || arg(2) || ']'
show2: parse arg p, q, r; return p '/' q '/' r
upper_args: arg u1, u2, u3; return u1 '/' u2 '/[' || u3 || ']'
even: procedure
  arg n
  if n = 0 then return 1
  return odd(n - 1)
odd: procedure
  arg n
  if n = 0 then return 0
  return even(n - 1)
depth: procedure
  parse arg n
  if n = 0 then return 0
  return 1 + depth(n - 1)
fib: procedure
  parse arg n
  if n < 2 then return n
  return fib(n - 1) + fib(n - 2)
third: return 1 / 3
twice: return arg(1) * 2
jumper:
  signal inside
  return 'wrong'
inside:
  return 'label in the routine'
bump:
  x = x + 1
  return x
