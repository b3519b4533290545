/* An error inside interpreted code is reported at the INTERPRET clause */
interpret 'x = 1; y = x +'
