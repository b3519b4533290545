/* An assignment to a name that starts with a digit */
say 'not reached'
1abc = 2
