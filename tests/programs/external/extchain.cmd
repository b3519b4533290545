/* helper of routines.rex: calls another external routine */
return 'chain(' || extinfo('from chain') || ')'
