// Planted faults for the error-code check: bare numbers given to reporting
// routines. The check must name the lines marked "named"; the others hand
// over names or only mention a call in a comment, as error(22) here does.
namespace planted {

void named_codes() {
  error(division_by_zero_error, &token);
  expect(")", close_paren_expected_error);
  abandon(modular ? no_inverse_error : division_by_zero_error, &token);
  tavrin_error("text with error(5, x) inside", false);
}

void bare_codes() {
  abandon(297, &token);                 // named
  expect("]",
         24);                           // named
  error(sparse ? 242 : no_such_array_error, &name);  // named
}

}  // namespace planted
