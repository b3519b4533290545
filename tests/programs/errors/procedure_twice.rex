call p
exit
p: procedure
procedure
return
