/* sample.rex: run from a file by examples/host/host.c, whose HOST environment is the initial
   ADDRESS environment. The host captures every SAY line through its RXSIO exit and answers
   the PULL below. */
parse arg words
say 'sample.rex was given:' words
colour = 'green'
count = 3
list.1 = 'first'
list.2 = 'second'

'GET colour'                  /* the host reads COLOUR; its value comes back as RC */
say 'the host read colour, rc =' rc

'SET greeting Hello from the host'
say 'the host set greeting =' greeting

'LIST'                        /* the host enumerates every variable */

say 'Shall we go on?'
parse pull answer             /* read from the terminal: the host's exit answers */
say 'the answer was' answer

signal on error
'FLY'                         /* unknown to the host: RC 1 and an ERROR condition */
say 'not reached'
exit 1

error:
say 'ERROR condition for' condition('D') 'with rc' rc
exit HostAdd(count, 4)
