/* SIGNAL to a label that does not exist fails at translation, at the line of the reference */
say 'not reached'
signal nowhere
exit
