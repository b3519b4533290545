/* Commands for the operating-system environments: through the command interpreter or started
   directly, "@" and interpreter prefixes, and the longest command */
'f=$(mktemp) && echo redirected > "$f" && cat "$f" && rm -f "$f"'
say 'redirection: rc' rc
'echo piped | tr a-z A-Z'
say 'pipe: rc' rc
'true'
say 'direct true: rc' rc
'false'
say 'direct false: rc' rc
'sh -c "exit 5"'
say 'quoted arguments: rc' rc
'@echo at-echo'
say 'at echo: rc' rc
'@false'
say 'at direct: rc' rc
'CMD echo cmd-prefix'
say 'cmd prefix: rc' rc
'command exit 4'
say 'command prefix: rc' rc
'Dos true'
say 'dos prefix: rc' rc
'exit 3'
say 'exit code: rc' rc
'kill -TERM $$'
say 'killed by a signal: rc' rc
'printf "%s\n" a b'
say 'printf: rc' rc
'no_such_program_for_ketra_tests'
say 'not found directly: rc' rc
'no_such_program_for_ketra_tests >/dev/null 2>&1'
say 'not found by the interpreter: rc' rc
exact = 'true' copies(' ', 1019)
exact
say 'command of' length(exact) 'characters: rc' rc
long = 'true' copies(' ', 1020)
long
say 'command of' length(long) 'characters: rc' rc
'echo' copies('x', 1100) '>/dev/null'
say 'long command through the interpreter: rc' rc
