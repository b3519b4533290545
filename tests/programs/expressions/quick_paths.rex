/* The shortcuts taken for common operands give the results of the general rules: LENGTH of
   strings, strict equality, whole numbers written with leading zeros, appending */
long = copies('ab', 30); same = copies('ab', 30); other = copies('ab', 29)'ac'
n = 12; f = 3/4; empty = ''
say 'length.1' length('abc') length(empty) length(long) length(long long) length(n) length(-n)
say 'length.2' length(f) length(n * 1000) length(1e3) length(' 09 ') length(length(long))
say 'strict.1' (long == same) (long == other) (long \== other) (long == long'') ('a' == 'a ')
say 'strict.2' ('12' == 12) (12 == '12') ('012' == 12) (n == 12) ('1.0' == 1) (empty == '')
say 'strict.3' ('abcdefgh' == 'abcdefgh') ('abcdefgh' == 'abcdefgi') ('' \== ' ') (f == 0.75)
mo = '09'; neg = '-007'; zero = '-0'; zeros = '0000000000'
say 'zeros.1' (mo + 1) (mo - 10) (mo * 3) (mo % 2) (mo // 4) (mo ** 2) (mo / 2)
say 'zeros.2' (neg + 0) (-neg) (+neg) (zero + 5) (zeros + 0) (neg * neg) ('0' + '00')
say 'zeros.3' (999999999 + '001') ('0999999999' + 0) ('00000000001' + 0) ('0.9' + '09')
numeric digits 5
say 'zeros.4' (mo + 99999) ('000123456' + 0) (mo * 11111)
numeric digits
signal on syntax
say 'zeros.5' ('09x' + 1)
syntax:
say 'syntax' rc
s = ''
do i = 1 to 12
  s = s || i // 10
end
t = 'abcdefghij'
u = t t
t = t || '!'
say 'append.1' s length(s) t u
w = 'free'; x = 'text'; y = 'number'
say 'append.2' length(w x y) length(w || x || y) (w x y == 'free text number')
a = copies('x', 9)
say 'join.1' (a 'b' || 'c' (1+2) (1/3)) length(a a a a a a a a a a) (a || a == copies(a, 2))
say 'join.2' ((1/3) || 1) + 1 ((2/3) || '') + 1 (1/3 || 'x' || 2/3) a
