/* DROP and EXPOSE of a list of names held in a variable: compounds, stems, lower case */
a.1 = 1; a.2 = 2; b.1 = 3; list = 'a.1 b.'; drop (list); say 'drop.6' a.1 a.2 b.1
lowervar = 5; list = 'lowervar'; drop (list); say 'drop.7' lowervar
i = 2; c.2 = 'two'; list = 'c.i'; drop (list); say 'drop.8' c.2
c.1 = 'x'; d.5 = 'y'; e = 'z'; list = 'c.1 d. e'; call exp1; say 'expose.1' c.1 d.5 d.6 e
exit
exp1: procedure expose (list)
  c.1 = 'X'; d.6 = 'new'; e = 'Z'
  return
