/* How routine names resolve: a label before a built-in; an exposed compound name that grows too long */
say 'label.1' reverse('abc')
call reverse 'abc'; say 'label.2' result
long = copies('b', 251)
signal on syntax name too_long
call expo
say 'not reached'
too_long: say 'expose.1' rc
exit
expo: procedure expose long a.long
  return
reverse: return 'internal' arg(1)
