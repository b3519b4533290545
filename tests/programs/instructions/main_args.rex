/* The arguments of the command line reach the program as one string */
say 'arg.1' arg() '[' || arg(1) || ']' arg(1, 'E') arg(2, 'E')
parse arg first rest
say 'arg.2 [' || first || '][' || rest || ']'
arg up .
say 'arg.3' up
parse source . how .
say 'arg.4' how
