/* External routine search: the caller's extension is tried before CMD */
say 'order.1' dual()
call dual; say 'order.2' result
