/* A DO count that is not a whole number, inside nested calls from expressions */
say 'start'
say 'total' outer(2)
exit
outer: return inner(arg(1)) + 1
inner: procedure
  do arg(1) / 4
    nop
  end
  return 0
