// Routines of det/ that the normal forms of matrix/ call, defined there: the
// exact integer determinant (det/normal_form_services.cpp), its absolute
// value and the scaled solves (det/scaled_solve.cpp); beside them the token
// of an unstored name that work arrays and error reports take.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "core/records.h"
#include "matrix/zint.h"
#include "numbers/work_arrays.h"

namespace tavrin {

// det A of the m-by-m integer matrix (cells column by column) by the fast
// exact route of the determinant methods, as a fresh number (free_imag), or
// nil when that route does not apply to these entries.
imptr exact_int_determinant(const std::vector<quoly>& cells, std::int32_t m);

// |det S| of the square integer matrix S: the fast exact route when its
// entries allow it, else the images of the determinant methods (whose
// verbose lines it then prints).
ZInt abs_int_determinant(const ZMatrix& s);

// X := d S^-1 V, exact, for the nonsingular n x n integer matrix S, the n x
// k integer matrix V and d = |det S| (X is integral: d S^-1 = +-adj S). By
// p-adic lifting from one LU modulo a word prime when the entries are small,
// else from images modulo word primes.
ZMatrix scaled_solve(const ZMatrix& s, const ZMatrix& v, const ZInt& d);

// A token for what is no stored name (address -1), as work arrays and error
// reports take one; name: at most 10 characters.
inline tokentipe unstored_token(const char* name) {
  tokentipe t{};
  std::strncpy(t.name, name, sizeof t.name - 1);
  t.address = -1;
  return t;
}

}  // namespace tavrin
