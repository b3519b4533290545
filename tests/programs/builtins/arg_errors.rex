/* Argument errors of the dispatcher and of the functions themselves, and functions that fail */
call t 'arg.1', "arg(, 'E')"
call t 'arg.2', "arg(1, 'X')"
call t 'condition.1', "condition('X')"
call t 'errortext.1', "errortext(100)"
call t 'sourceline.1', "sourceline(99)"
call t 'trace.1', "trace('')"
call t 'trace.2', "trace('Q')"
call t 'max.1', "max()"
call t 'max.2', "max(1, , 3)"
call t 'max.3', "max(1, 'abc')"
call t 'abs.1', "abs('abc')"
call t 'scrsize.1', "scrsize()"
call t 'pcgame.1', "pcgame()"
call t 'peek.1', "peek(-1, 0)"
call t 'peek.2', "peek(0, 0)"
call t 'inp.1', "inp(1)"
call t 'toomany.1', "queued(1)"
call t 'whole.1', "left('abc', 999999999)"
call t 'whole.2', "left('abc', 1000000000)"
/* Every function of the family with no arguments and with seven */
names = 'ABBREV BITAND BITOR BITXOR CENTER CENTRE COMPARE COPIES DELSTR DELWORD FIND INDEX',
  'INSERT JUSTIFY LASTPOS LEFT LENGTH LOWER OVERLAY POS REVERSE RIGHT SPACE STRIP SUBSTR',
  'SUBWORD TRANSLATE UPPER VERIFY WORD WORDINDEX WORDLENGTH WORDPOS WORDS ABS SIGN ERRORTEXT'
do i = 1 to words(names)
  call t word(names, i) || '.none', word(names, i) || '()'
end
names = names 'XRANGE ARG ADDRESS CONDITION DIGITS FORM FUZZ SOURCELINE TRACE QUEUED',
  'EXTERNALS ZYMVERSION STACKSTATUS SCRMETHOD'
do i = 1 to words(names)
  call t word(names, i) || '.seven', word(names, i) || "('a','b','c','d','e','f','g')"
end
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
