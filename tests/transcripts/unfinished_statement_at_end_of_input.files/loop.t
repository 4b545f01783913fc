x := 2:
while x < 5 do
  x := x + 1;
