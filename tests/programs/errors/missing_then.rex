/* A missing THEN is found when the program is translated, before anything runs */
say 'not reached'
if 1 = 1
  say 'x'
