/* PARSE targets that are stems or compound variables, and compound variable patterns */
parse value 'dflt' with st.; say 'stem.1' st.99 st.1
parse value 'a b' with s.1 s.2; say 'compound.1' s.1 s.2
i = 3; parse value 'x y' with c.i rest; say 'compound.2' c.3 rest
d.1 = ','; parse value 'a,b' with x (d.1) y; say 'pattern.1' x y
n.1 = 2; parse value 'abcd' with x +(n.1) y; say 'pattern.2' x y
