x := 3:
if x > 1 then
  x := 10
else
