/* EXIT with a whole number sets the exit status */
say 'before exit'
exit 7
say 'not reached'
