/* Errors when a loop starts are trappable: TO, BY and FOR values are checked */
signal on syntax name bad_to
do i = 1 to 'x'; say 'ran'; end
bad_to: say 'TO not a number:' rc
signal on syntax name bad_by
do i = 1 by 'y'; say 'ran'; end
bad_by: say 'BY not a number:' rc
signal on syntax name bad_for
do i = 1 for -2; say 'ran'; end
bad_for: say 'FOR negative:' rc
signal on syntax name bad_for2
do i = 1 for 1.5; say 'ran'; end
bad_for2: say 'FOR fraction:' rc
signal on syntax name bad_count
do -1; say 'ran'; end
bad_count: say 'count negative:' rc
signal on syntax name bad_start
do i = 'z' to 3; say 'ran'; end
bad_start: say 'start not a number:' rc
signal on syntax name bad_while
do while 2; say 'ran'; end
bad_while: say 'WHILE not logical:' rc
signal on syntax name bad_for3
do i = 1 for 'a'; say 'ran'; end
bad_for3: say 'FOR not a number:' rc
signal on syntax name bad_count2
do 'abc'; say 'ran'; end
bad_count2: say 'count not a number:' rc
signal on syntax name bad_count3
do 1.5; say 'ran'; end
bad_count3: say 'count fraction:' rc
signal on syntax name bad_until
n = 0
do until 'x'; n = n + 1; end
bad_until: say 'UNTIL not logical after' n 'pass:' rc
signal on syntax name bad_by2
do i = 1 to 3 by ''; say 'ran'; end
bad_by2: say 'BY empty:' rc
signal on syntax name bad_to2
do i = 1 to 3 + 'q'; say 'ran'; end
bad_to2: say 'TO expression not a number:' rc
signal on syntax name bad_step
n = 0
do i = 'a' for 1; n = n + 1; end
bad_step: say 'start not a number, no TO:' rc n
