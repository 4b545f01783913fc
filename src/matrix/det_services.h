// Services of the matrix built-ins that matrix/ and det/ define, declared
// here so that matrix/ can call the ones det/ defines: the adjugate
// (det/adjoint.cpp), the exact integer determinant and the scaled solves of
// the normal forms (det/normal_form_services.cpp, det/scaled_solve.cpp);
// beside them matrix/'s own matrix power modulo a value, Hamiltonian path
// set-up and random values. The determinant and inverse router itself,
// mat_invert, is in det/router.h (declared for the folders below it in
// gcd/gcd_upcalls.h).
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "core/records.h"
#include "gcd/gcd_upcalls.h"
#include "matrix/zint.h"
#include "numbers/work_arrays.h"

namespace tavrin {


}  // namespace tavrin

namespace tavrin {

// The adjugate of the m-by-m dense matrix alpha into arr (alpha_free: alpha's
// entries are the caller's temporaries).
void adjoint(workptr alpha, workptr arr, bool alpha_free, std::int32_t m, sparseptr* spar);

// The expont-th power of the dense square matrix with every entry reduced
// modulo *modder (nil: no modulus); *arr_free := true. showit: progress.
void matpowermod(workptr arr, arr_descr* arr_facts, bool* arr_free, imptr expont, quoly* modder,
                 bool showit);

// The sparse pattern matrix (n*n + 1 rows and columns) of the Hamiltonian
// path computation for the dense n-by-n matrix arr (n <= 100) into *spar;
// arr's entries freed when *arr_free; *arr_free := false; arrf := the new
// size.
void set_up_hamilton(workptr arr, arr_descr* arrf, bool* arr_free, sparseptr* spar);

// *n := a random rational number (again: mixed with the processor clock).
void randomize(bool again, quolyptr n);

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

// *n (1.0 on entry; floating mode) := the determinant of the m x m matrix
// of floating images (the sparse *spar when not nil, else ar; consumed as
// mat_invert consumes a free matrix) by the floating methods of the router.
// A determinant of polynomials is checked at two points before it is
// returned and, when it fails the check, taken exactly and rounded to long
// doubles, with a verbose line saying so (det/float_check.h).
void fl_checked_determinant(workptr ar, sparseptr* spar, std::int32_t m, quolyptr n,
                            std::int32_t the_degree, std::int32_t the_degree2,
                            std::int32_t the_power);

// A token for what is no stored name (address -1), as work arrays and error
// reports take one; name: at most 10 characters.
inline tokentipe unstored_token(const char* name) {
  tokentipe t{};
  std::strncpy(t.name, name, sizeof t.name - 1);
  t.address = -1;
  return t;
}

}  // namespace tavrin
