/* An argument error ends the program with the error-40 message */
say 'before'
x = substr('abc', 0)
say 'not reached'
