/* A SIGNAL ON SYNTAX trap fires once: the next error ends the program */
signal on syntax
x = 1 / 0
syntax: say 'trapped' rc 'at line' sigl
y = 'a' + 1
say 'not reached'
