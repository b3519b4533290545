/* Control leaves loops, INTERPRET and routines many times over: nothing may pile up */
count = 0
again:
count = count + 1
do i = 1 to 3
  do j = 1 to 3
    if count < 3000 then signal again
  end
end
say 'signal.1 out of nested loops' count i j
count = 0
back:
count = count + 1
if count < 500 then interpret 'name' || count '= count; signal back'
say 'signal.2 out of interpreted code' count name499
count = 0
do 3000
  call leave_in_routine
end
say 'routine.1 loops left by RETURN' count
n = 0
do 2000
  interpret 'do k = 1 to 2; n = n + 1; end'
end
say 'interpret.1' n
s = 0
do i = 1 to 2000
  s = s + pick(i)
end
say 'select.1' s
signal on syntax name trapped
count = 0
retry:
count = count + 1
if count < 1000 then do i = 1 to 2; x = 1 / 0; end
say 'syntax.1 trapped errors inside loops' count
exit
trapped: signal on syntax name trapped; signal retry
leave_in_routine:
  do forever
    do m = 1 to 5
      count = count + 1
      return
    end
  end
pick: procedure
  select
    when arg(1) // 2 = 0 then return 1
    otherwise
      do j = 1 to 2
        if j = 2 then return 2
      end
  end
