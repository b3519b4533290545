/* helper of external.rex: an external routine in a file of its own */
parse arg what
parse source . how .
if what = '' then return how 'no argument'
return how 'got' what
