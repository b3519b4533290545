/* Normal and strict comparison, abuttal and blank concatenation, logical operators */
say 'normal.1' (' 12 ' = 12) ('a ' = ' a') ('a ' == 'a') (1 = 1.0) (1 == 1.0)
say 'normal.2' ('1e1' = 10) ('A' = 'a') (2 > 10) ('2' >> '10') ('' = ' ') ('' == ' ')
say 'normal.3' ('abc' < 'abd') ('ab' < 'abc') ('ab ' = 'ab') ('b' > 'abc') (' b' > 'a ')
say 'normal.4' ('b' \= 'a') ('a' <> 'a') ('a' >< 'b') (1 /= 2) (3 >= 3) (3 <= 2)
say 'normal.5' (3 \> 4) (3 \< 4) (-1 < 1) ('-1' < '1') (0.5 = .5) ('0.50' = 0.5)
say 'normal.6' ('abc' > 5) (5 < 'abc') ('10' > '9') ('10a' > '9a')
say 'strict.1' ('a' >>= 'a') ('a' <<= 'b') ('a ' \== 'a') ('b' \<< 'a') ('a' \>> 'b')
say 'strict.2' (' a' << 'a') ('ab' >> 'a') ('a' /== 'a') ('1.0' >> '1') (2 << 10)
say 'strict.3' ('a' >> 'a') ('a' << 'a') ('a' <<= 'a') ('b' >>= 'c')
numeric fuzz 1
say 'fuzz.1' (1.000000001 = 1) (1.0000001 = 1) (1.000000001 == 1)
numeric fuzz
say 'fuzz.2' (1.000000001 = 1)
a = 'x'; b = 'y'; n = 5
say 'concat.1' a||b a b a'lit' 'lit'a
say 'concat.2' a     b
say 'concat.3' (a)(b) (1)(2) n'%'
say 'concat.4' 1+1 2+2 '['a || '' || b']'
say 'concat.5' '['a   ']' '[' a']' '['||a||']'
say 'concat.6' length(a b) length(a||b) length(a   b)
say 'logical.1' (1 & 1) (1 & 0) (0 & 0) (0 | 0) (0 | 1) (1 | 1)
say 'logical.2' (1 && 0) (0 && 0) (1 && 1) (\1) (\0) (\(1 & 0))
say 'logical.3' ('1' & 1) ((2 > 1) | 0) (\ (1 = 2))
say 'notsign.1' ('a' ^= 'b') (^0) (~1) ('a' ~== 'a') (3 ^> 4) (3 ~< 4)
say 'spaced.1' (3 > = 3) (2 < = 1) ('a' = = 'a ') (1 \ = 1) ('b' > > 'a')
