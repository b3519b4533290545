/* helper of routines.rex: ends with EXIT and a value, from an internal routine of its own */
call inner arg(1)
say 'extexit: not reached'
inner:
  exit 'exited with' arg(1) 'after' twice(arg(1))
twice: return arg(1) * 2
