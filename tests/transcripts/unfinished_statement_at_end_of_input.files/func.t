Func F(a) =
  a := a + 1;
  a * 2
