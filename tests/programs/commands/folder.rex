/* CD is carried out by the library itself: the folder of the process changes */
'CD /tmp'
say 'cd: rc' rc
'pwd'
'cd /'
say 'lower-case cd: rc' rc
'pwd'
'CD "/"'
say 'quoted folder: rc' rc
'pwd'
'Cd    /tmp   '
say 'blanks around the folder: rc' rc
'pwd'
'CD /no/such/folder/for/ketra'
say 'missing folder: rc' rc
'pwd'
'CLS'
say 'cls: rc' rc
