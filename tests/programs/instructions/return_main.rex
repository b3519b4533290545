/* RETURN from the main program ends it like EXIT */
say 'before'
return 5
say 'not reached'
