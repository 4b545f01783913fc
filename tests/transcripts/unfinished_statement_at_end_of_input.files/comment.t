x := 6:
while 0 do { never closed
