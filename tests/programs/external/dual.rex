/* Run on its own it is a program; called from order.rex it is an external routine found before dual.cmd */
parse source . how .
if how = 'COMMAND' then say 'dual.rex runs on its own'
return 'dual.rex as' how
