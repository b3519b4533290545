/* ADDRESS environments: the operating-system names, the command form, environments nobody
   serves, and the longest environment name */
say 'initial:' address()
address SH
say 'address sh:' address()
'echo through sh'
address SYSTEM
'exit 7'
say 'address system: rc' rc address()
address bash 'echo through bash'
say 'command form: rc' rc 'environment stays' address()
address cmd
'true'
say 'address cmd: rc' rc
address dos 'exit 1'
say 'address dos: rc' rc
address command 'echo through command'

signal on error
signal on failure
address NOBODY 'echo never'
say 'unknown environment: rc' rc
address NOBODY
'CD /'
say 'cd to nobody: rc' rc
'SET KETRA_NOBODY=1'
say 'set to nobody: rc' rc '['value('KETRA_NOBODY',,'ENVIRONMENT')']'
address
say 'swapped back:' address()
'test "$(pwd)" != /'
say 'folder unchanged: rc' rc
address 'CMD.NOSUCHMODULE' 'true'
say 'cmd with a module nobody registered: rc' rc
address value copies('E', 250)
say 'name of 250:' length(address())
signal on syntax
address value copies('E', 251)
'x'
say 'not reached'
exit
syntax:
say 'name of 251: error' rc
exit
error:
failure:
say 'not reached:' condition('C') rc
