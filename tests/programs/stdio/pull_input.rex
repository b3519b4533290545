/* PULL and PARSE PULL: the session queue first, then standard input; carriage returns before
   line feeds are dropped, a last line without a line feed counts, the end of input gives "" */
queue 'from the queue'
push 'pushed last, pulled first'
say queued()
parse pull a; say '1['a']'
parse pull a; say '2['a']'
parse pull a; say '3['a']'
pull a; say '4['a']'
parse pull a; say '5['a']'
parse pull a; say '6['a']'
say queued()
queue 'queued after input ended'
parse pull a; say '7['a']'
parse pull a; say '8['a']'
