/* Operator precedence, prefix operators, power, division and the arithmetic errors */
say 'prec.1' 2 + 3 * 4
say 'prec.2' (2 + 3) * 4
say 'prec.3' 2 ** 3 ** 2
say 'prec.4' (-2 ** 2) (-(2 ** 2))
say 'prec.5' 2 * 3 ** 2
say 'prec.6' 10 - 4 - 3
say 'prec.7' 24 / 4 / 2
say 'prec.8' 1 + 2 || 3 + 4
say 'prec.9' 1 + 2 3 + 4
say 'prec.10' (3 > 2 & 2 > 1)
say 'prec.11' (1 | 0 & 0)
say 'prec.12' (1 | 1 && 1)
say 'prec.13' (\ 0 & 0)
say 'prec.14' (- 3 + 5)
say 'prec.15' (2 = 2 = 1)
say 'prec.16' ('a' || 'b' = 'ab')
say 'prec.17' (1 + 1 = 2 & 1)
say 'prec.18' (- - 4) (+ - 4) (\ \ 1)
say 'prec.19' (2 ** -1) (2 ** 0) ((-3) ** 3) (10 ** 2)
say 'prec.20' (7 % 2) (-7 % 2) (-7 // 2) (7 // -2)
say 'prec.21' 7.5 // 2 7.5 % 2 1 / 4 1 / 8
say 'div.1' 1 / 3 2 / 3 10 / 4
say 'num.1' (' 1 ' + 1) ('.5' + 1) ('1e2' + 0) (' - 5' + 0) ('+5' * 1) ('5E-1' + 0)
call t 'err.1', "'abc' + 1"
call t 'err.2', "1 + ''"
call t 'err.3', "'1 2' + 1"
call t 'err.4', "'1e' + 1"
call t 'err.5', "'.' * 1"
call t 'err.6', "- 'a'"
call t 'err.7', "1 / 0"
call t 'err.8', "5 % 0"
call t 'err.9', "5 // 0"
call t 'err.10', "1.5 / 0.0"
call t 'err.11', "2 ** 0.5"
call t 'err.13', "'' & 1"
call t 'err.14', "2 | 0"
call t 'err.15', "1 | 'x'"
call t 'err.16', "\ 'yes'"
call t 'err.17', "1 && 2"
call t 'err.18', "'1..2' - 1"
call t 'err.19', "+ 'x'"
call t 'err.20', "unset_variable + 1"
call t 'err.21', "' 1' & 1"
call t 'err.22', "1.0 | 0"
call t 'err.23', "(1 = 1) & 'true'"
exit

t: procedure
  parse arg label, expression
  signal on syntax
  interpret 'r =' expression
  say label '[' || r || ']'
  return
syntax:
  say label 'error' rc
  return
