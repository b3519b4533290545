/* What NUMERIC DIGITS, FUZZ and FORM change: rounding, layout, comparison, inheritance */
numeric digits 4
say 'digits.1' 2/3 (12345 + 0) (1234 + 0) 99999 (0.00001234 * 1) digits()
say 'digits.2' (1.23456 * 1) (-1.23456 * 1) (0.99999 * 1 = 1)
numeric digits 3
say 'digits.3' (1234 * 1) (0.000012345 * 1) (-12345 * 1)
numeric form engineering
say 'form.1' (1234 * 1) (12345 * 1) (123456 * 1) (0.000012345 * 1) (0.00012345 * 1) form()
numeric form scientific
say 'form.2' (12345 * 1) (0.00012345 * 1) form()
numeric digits 12
say 'digits.4' 2/3 (123456789012 + 1) (999999999 + 1) (99999 * 99999)
numeric digits 2 * 3
say 'digits.5' digits() 1/7
numeric digits 5; numeric fuzz 2
say 'fuzz.1' (1.0001 = 1) (1.01 = 1) (1.0001 == 1) (1.0001 > 1) (1.01 > 1) fuzz()
numeric fuzz; numeric digits
say 'fuzz.2' (1.0001 = 1) digits() fuzz()
numeric digits 5
say 'routine.1' inherited() 'after:' digits()
call sets; say 'routine.2' digits() 1/3
numeric digits
interpret 'numeric digits 6'; say 'interpret.1' digits() 1/3
numeric digits
say 'whole.1' (123456789 * 10) (0.1 * 3) (1 / 3 * 3)
exit
inherited: return digits() 1/3
sets: numeric digits 15; return
