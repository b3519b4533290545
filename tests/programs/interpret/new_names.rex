/* Names that INTERPRET adds are removed afterwards; later interpreted names reuse their places */
interpret 'aaa = 1'
interpret 'bbb = 2'
interpret 'say "reuse.1" aaa bbb'
interpret 'ccc.1 = "c"'
interpret 'ddd.1 = "d"'
interpret 'say "reuse.2" ccc.1 ddd.1'
interpret 'eee. = "e"'
interpret 'fff. = "f"'
interpret 'say "reuse.3" eee.9 fff.9'
call r
interpret 'say "reuse.4" ggg hhh'
do i = 1 to 3
  interpret 'v' || i '= i * 10'
end
interpret 'say "reuse.5" v1 v2 v3'
exit
r: procedure expose ggg hhh
  interpret 'ggg = "g"'
  interpret 'hhh = "h"'
  interpret 'iii = "local"'
  return
