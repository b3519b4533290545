/* The exit status is the low 8 bits of the EXIT value */
say 'exit 263'
exit 263
