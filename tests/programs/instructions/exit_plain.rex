/* EXIT without a value, from inside loops and a SELECT */
do i = 1 to 3
  select
    when i = 2 then do; say 'leaving at' i; exit; end
    otherwise say 'pass' i
  end
end
say 'not reached'
