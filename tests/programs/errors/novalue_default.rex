/* Without a trap an unset variable is its own name; arithmetic on that name fails */
say undefined_thing
say undefined_thing + 1
