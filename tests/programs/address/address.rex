/* ADDRESS switching and commands to environments nobody serves */
address NOBODY 'some command'
say 'command rc:' rc
address NOBODY
address FOO
'another command'
say 'after address foo:' rc
address BAR 'one command'
say 'address with command:' rc
address
'swapped back'
say 'swap:' rc
address value 'BAZ'
'x'
say 'address value:' rc
