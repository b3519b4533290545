/* A string that is never closed */
say 'not reached'
x = 'abc
