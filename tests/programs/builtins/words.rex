/* Word functions: each line is a case label and its result in brackets, or the error number */
call t 'words.1', "words('a' || '09'x || 'b')"
call t 'words.2', "words('  now is  the ')"
call t 'words.3', "words('')"
call t 'word.1', "word('now is the time', 3)"
call t 'word.2', "word('now is', 3)"
call t 'word.3', "word('now is', 0)"
call t 'wordindex.1', "wordindex('  now is the', 2)"
call t 'wordindex.2', "wordindex('now', 2)"
call t 'wordlength.1', "wordlength('now is the', 3)"
call t 'delword.1', "delword('Now is the time', 2, 2)"
call t 'delword.2', "delword('Now is the time', 2)"
call t 'delword.3', "delword('Now is the time', 5)"
call t 'subword.1', "subword('Now is  the time ', 2, 2)"
call t 'subword.2', "subword('Now is  the time ', 3)"
call t 'wordpos.1', "wordpos('the  time', 'now is the time')"
call t 'wordpos.2', "wordpos('is the', 'now is the time', 3)"
call t 'wordpos.3', "wordpos('', 'now is')"
call t 'wordpos.4', "wordpos('the', 'now is the time', -1)"
call t 'find.1', "find('now is the time', 'is')"
call t 'find.2', "find('now is the time', 'the now')"
call t 'space.1', "space('  abc  def  ')"
call t 'space.2', "space('abc def', 3, '+')"
call t 'space.3', "space('abc def', 0)"
call t 'justify.1', "justify('The quick brown fox', 10)"
call t 'justify.2', "justify('', 5)"
call t 'justify.3', "justify('a b c d', 9, '.')"
call t 'justify.4', "justify('abcdef', 3)"
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
