/* A function that returns no data */
say 'value:' f()
exit
f: return
