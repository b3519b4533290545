/* Process environment variables: the SET command and VALUE with its three selectors */
'SET KETRA_CMD_A=first value'
say 'set: rc' rc
say 'set read by value: ['value('KETRA_CMD_A',,'ENVIRONMENT')']'
'echo "child sees: [$KETRA_CMD_A]"'
'set KETRA_CMD_A=x=y'
say 'value with "=": ['value('KETRA_CMD_A',,'ENVIRONMENT')']'
'SET KETRA_CMD_A'
say 'set without a value removes: rc' rc '['value('KETRA_CMD_A',,'ENVIRONMENT')']'
'echo "child sees removed: [${KETRA_CMD_A-unset}]"'
'SET =nothing'
say 'set without a name: rc' rc

say 'environment old value: ['value('KETRA_CMD_B', 'one', 'ENVIRONMENT')']'
say 'dosenvironment old value: ['value('KETRA_CMD_B', 'two', 'DOSENVIRONMENT')']'
say 'os2environment old value: ['value('KETRA_CMD_B', 'three', 'OS2ENVIRONMENT')']'
say 'read back: ['value('KETRA_CMD_B',,'environment')']'
'echo "child sees set by value: [$KETRA_CMD_B]"'
say 'unset variable: ['value('KETRA_CMD_NEVER_SET',,'ENVIRONMENT')']'
say 'empty name: ['value('', 'ignored', 'ENVIRONMENT')']'

long = copies('0123456789', 40)
call value 'KETRA_CMD_LONG', long, 'ENVIRONMENT'
say 'long value kept whole:' (value('KETRA_CMD_LONG',,'ENVIRONMENT') == long)

signal on syntax name bad1
call value 'KETRA_CMD_B',, 'ENV'
say 'not reached'
bad1: say 'abbreviated selector: error' rc
signal on syntax name bad2
call value 'KETRA_CMD_B', 'four', 'SYSTEM'
say 'not reached'
bad2: say 'unknown selector: error' rc 'value kept: ['value('KETRA_CMD_B',,'ENVIRONMENT')']'
signal on syntax name bad3
call value 'KETRA_CMD_B',, ''
say 'not reached'
bad3: say 'empty selector: error' rc
