/* helper of routines.rex: ARG with several templates, upper case */
arg a b, c
return '[' || a || '][' || b || '][' || c || ']'
