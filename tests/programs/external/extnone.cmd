/* helper of routines.rex: ends without a value */
exit
