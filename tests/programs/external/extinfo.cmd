/* helper of routines.rex: reports how it was called and what it can see */
parse source . how .
numeric digits 4
return how arg() '[' || arg(1) || '][' || arg(2) || '][' || arg(3) || ']' caller_var 2/3
