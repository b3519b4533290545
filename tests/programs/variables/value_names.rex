/* VALUE without a selector: variables reached by name */
x = 'ten'
say 'get.1' value('x') value('X')
say 'get.2' value('unset_one')
say 'set.1' value('x', 'eleven') x
i = 3
a.3 = 'three'
say 'compound.1' value('a.i') value('A.3')
a. = 'dflt'
say 'compound.2' value('a.9')
call value 'a.i', 'changed'
say 'compound.3' a.3 a.i
say 'stem.1' value('a.')
drop x
say 'dropped.1' value('x')
signal on syntax
say 'constant.1' value('1abc')
say value('a b')
say 'not reached'
syntax:
say 'bad.1' rc
