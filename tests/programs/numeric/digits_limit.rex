/* NUMERIC DIGITS can go up to 1000000; above that is an implementation limit */
signal on syntax
numeric digits 1000000
say 'digits.1' digits() length(1 / 7)
numeric digits 1000001
say 'not reached'
syntax: say 'digits.2 error' rc digits()
