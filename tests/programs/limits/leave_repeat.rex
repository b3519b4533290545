/* LEAVE and ITERATE of outer loops from inner ones, many times: the inner loop frames go away */
n = 0
do k = 1 to 20000
  do i = 1 to 2
    do j = 1 to 2
      do forever; if j = 2 then leave i; if k // 2 then iterate k; leave; end
      n = n + 1
    end
  end
end
say n k
