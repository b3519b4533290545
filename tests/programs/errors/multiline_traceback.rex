/* The traceback shows each source line of a continued clause, and only the failing clause of a line */
say 'start'; call sub
exit
sub: a = 1; b = a +,
    'x'; say 'not reached'
