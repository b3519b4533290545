/* Pieces stored by PARSE keep their characters and are classified as their characters say:
   whole numbers, numbers that are not whole, and strings that only begin like numbers */
line = '09|12.3|2024-01|1234567890|-0|-.5|5.|5.x|-x|-|1e3|1.5E+2|+7|-12|000|1.2.3|12a|123456789'
do while line \== ''
  parse var line v '|' line
  call show v
end
/* trailing and leading blanks, cut by position */
parse value ' 7 x' with a 3 b +1
call show a
call show b
parse value '42 ' with c 4
call show c
/* a value built by concatenation keeps its characters when stored */
z = '0' || '9'; call show z
z = 1 || 2; call show z
/* PARSE UPPER folds the pieces before they are classified */
parse upper value '1e2,2f' with u1 ',' u2
call show u1
call show u2
exit

show:
  parse arg s
  signal on syntax name not_number
  say '['s']' (s + 0) (s * 1) (s = 9) (s == 9) (s > 100)
  return
not_number:
  say '['s'] error' rc (s = 9) (s > 100)
  return
