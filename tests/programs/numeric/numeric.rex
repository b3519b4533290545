/* NUMERIC DIGITS, FUZZ, FORM and PARSE NUMERIC */
parse numeric n; say 'default:' n
numeric digits 5; say 'digits 5:' 2/3 12345678
numeric fuzz 1; say 'fuzz 1:' (1.00001 = 1) (1.0001 = 1.0002)
parse numeric n; say 'settings:' n
numeric fuzz; numeric digits; say 'reset:' 2/3
numeric form engineering; say 'engineering:' 12345678901 * 10
numeric form scientific; say 'scientific:' 12345678901 * 10
numeric form value 'ENGINEERING'; parse numeric n; say 'form value:' n
numeric form; parse numeric n; say 'form reset:' n
call setdigits; say 'routine digits do not leak:' 1/3
signal on syntax name e1; numeric digits 3; numeric fuzz 3
e1: say 'fuzz not below digits:' rc
numeric digits; signal on syntax name e2; numeric fuzz 9
e2: say 'fuzz 9 under default digits:' rc
signal on syntax name e3; numeric form 'scientific'
e3: say 'form lower case:' rc
signal on syntax name e4; numeric digits 'x'
e4: say 'digits not a number:' rc
exit
setdigits: numeric digits 20; return
