/* EXIT from interpreted code */
interpret 'say "interpreted"; exit 3'
say 'not reached'
