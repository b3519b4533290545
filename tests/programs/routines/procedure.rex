/* PROCEDURE and EXPOSE: stems, compound names, lists in parentheses, nesting, DROP through an alias */
a. = 'dflt'; a.1 = 'one'; a.2 = 'two'; i = 2; j = 1
call only_one; say 'compound.1' a.1 a.2 a.3 '/' result
call by_tail; say 'compound.2' a.1 a.2 '/' result
name_j = 'J'; call tail_unexposed; say 'compound.3' a.1 a.name_j '/' result
call whole_stem; say 'stem.1' a.1 a.2 a.7 '/' result
call reset_stem; say 'stem.2' a.1 a.9
v1 = 'x'; v2 = 'y'; names = 'v1 v2'
call by_list; say 'list.1' v1 v2
call by_list_missing; say 'list.2' newvar1 newvar2
c = 5; call chain1; say 'chain.1' c
d = 'keep'; call drop_exposed; say 'drop.1' d
call create_exposed; say 'create.1' created
e = 'outer'; call no_procedure; say 'shared.1' e
f = 'caller'; call hides; say 'hides.1' f '/' result
g = 1; call expose_twice; say 'twice.1' g
h. = 'hdef'; h.1 = 'h one'
call default_through_alias; say 'default.1' result '/' h.2 h.3
call t 'err.1', 'procedure expose'
call t 'err.2', 'procedure hide x'
call t 'err.3', 'procedure expose (a'
call t 'err.4', 'procedure expose a.'
exit

only_one: procedure expose a.1
  a.1 = 'ONE'; a.2 = 'local'
  return a.2
by_tail: procedure expose i a.i
  a.i = 'TWO'
  return i
tail_unexposed: procedure expose a.j
  a.j = 'by name'
  return symbol_value_of_j()
symbol_value_of_j: return j
whole_stem: procedure expose a.
  a.7 = 'seven'; a.2 = 'second'
  return a.5
reset_stem: procedure expose a.
  a. = 'new'
  return
by_list: procedure expose (names)
  v1 = v1 || '!'; v2 = v2 || '!'
  return names
by_list_missing: procedure expose (missing_list)
  return
chain1: procedure expose c
  call chain2
  return
chain2: procedure expose c
  c = c * 2
  return
drop_exposed: procedure expose d
  drop d
  return
create_exposed: procedure expose created
  created = 'made inside'
  return
no_procedure:
  e = 'changed'
  return
hides: procedure
  f = 'inner'
  return f
expose_twice: procedure expose g g
  g = g + 1
  return
default_through_alias: procedure expose h.2 h.1
  r = h.2 h.1
  call default_chain
  return r result
default_chain: procedure expose h.2
  return h.2
t: procedure
  parse arg label, clauses
  signal on syntax
  interpret clauses
  say label 'ran'
  return
syntax:
  say label 'error' rc
  return
