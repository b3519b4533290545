/* Sums assigned back to a variable that holds a long kept number: the new value may take the
   old one's buffer, so every other holder of the old characters must keep them */
t = 0
do i = 1 to 12
  t = t + 1234567.5
end
say 'grown' t length(t)
old = t
s.1 = t
t = t + 0.25
say 'kept' old s.1 t
u = t + 0.75
u = t + 1.5
say 'other target' t u
t = t + t
say 'doubled' t
t = t - 99999999.95
say 'negative' t t + 0
t = -t - 1.5
say 'back' t
call show t
say 'after call' t
call bump
say 'exposed' t
numeric digits 12
w = 123456789.01
w = w + 0.005
say 'digits12' w w + 1000000
numeric digits 5
w = w + 0.1
say 'digits5' w
numeric digits
v = 10 / 3
parse value '12345678.5' with v
v = v + 1
say 'parsed' v v - 0.5
exit

show:
  t = t + 10.5
  say 'argument' arg(1) t
  return

bump: procedure expose t
  t = t + 2.5
  return
