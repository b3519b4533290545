/* The THEN rule checked in interpreted code and reported at the INTERPRET clause */
code = 'if 1; say 2'
interpret code
