/* hello.rex: the first program */
say 'Hello from Ketra!'
parse source system how name
say 'Running' name 'on' system 'as a' how'.'
exit 0
