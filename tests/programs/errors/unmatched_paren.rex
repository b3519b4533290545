/* A closing parenthesis is missing in an expression */
say 'not reached'
x = (1 + 2
