/* A program that ends inside a DO group */
say 'not reached'
do i = 1 to 3
  say i
