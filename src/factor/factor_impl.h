// The residue-vector routes of the square-free decomposition and the
// factorisation over a prime field (square_free_dense.cpp,
// factor_dense.cpp), and the distinct-degree stage in GF(2^8) and GF(2^16)
// (factor_char2.cpp), shared by square_free.cpp and factor_poly.cpp.
//
// They apply to a polynomial in one variable whose level has no relation,
// with number coefficients, in modular mode with a prime modulus outside
// the fields of characteristic 2 (the square-free decomposition also in
// GF(2^8) and GF(2^16), on the element vectors of dense_char2.h), and give
// exactly what the term-list methods give: the same records, factors, multiplicities, order and
// normalisation (monic). Factors of the equal-degree stage come from the
// same random trial polynomials, drawn in the same order.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/records.h"
#include "dense/dense_modular.h"
#include "dense/residue_vectors.h"

namespace tavrin::detail {

// The times factor_poly and square_free_factor took the residue routes,
// counted since start (a test and benchmark hook).
struct ResidueRouteCounts {
  long factor = 0;
  long square_free = 0;
  long square_free_char2 = 0;
  long factor_char2 = 0;
};
extern ResidueRouteCounts residue_routes;

// square_free_factor on residues, x of positive degree: the records (e,
// factor) in the order square_free_factor pushes them (the first pushed
// first).
std::vector<std::pair<std::int32_t, DensePoly>> square_free_residues(const DensePoly& x,
                                                                     std::int32_t p);

// The same in GF(2^8) or GF(2^16) (q = 256 or 65536) on element vectors,
// the square roots of square_free_factor's p-th roots taken of the
// coefficients as well.
std::vector<std::pair<std::int32_t, DensePoly>> square_free_char2(const DensePoly& x,
                                                                  std::int32_t q);

// A product of irreducible factors of one degree, as the distinct-degree
// stage links it.
struct DegreeProduct {
  DensePoly product;
  std::int32_t degree;
};

// The distinct-degree stage of the monic square-free v of positive degree:
// for each degree with factors, lowest first, the product of the
// irreducible factors of that degree; the last one may be the irreducible
// rest labelled with its degree. With leave_early only the first. *xp :=
// t^p mod v. Baby steps t^(p^j) (j < l) by powers, giant steps t^(p^(l i))
// by composition, the products of (giant - baby) modulo v and their GCDs
// with v. polls check_interrupt.
std::vector<DegreeProduct> distinct_degree_residues(const DensePoly& v, std::int32_t p,
                                                    bool leave_early, DensePoly* xp);

// The distinct-degree stage of the square-free v of positive degree in
// GF(2^8) or GF(2^16) (q = 256 or 65536) on element vectors: what the
// degree-by-degree search of factor_poly links, in its order. For each
// degree i with factors, lowest first, their monic product (v's rest
// itself when it holds nothing else), then the rest once 2 i exceeds its
// degree, labelled with that degree; with leave_early only the first.
// Blocks of consecutive degrees share one GCD with the rest: from one
// degree, each at most as long as the degrees done and about sqrt(deg) /
// char2_ddf_block_divisor. polls check_interrupt. reads: char2_ddf_block_divisor
// and the thresholds of dense_char2.h
std::vector<DegreeProduct> distinct_degree_char2(const DensePoly& v, std::int32_t q,
                                                 bool leave_early);

// The trial polynomials of the equal-degree stage: draw(top) returns the
// next trial of degree top (monic, its lower coefficients drawn as the
// term-list stage draws them).
using TrialSource = std::function<DensePoly(std::int32_t top)>;

// The equal-degree stage of g, a product of irreducible factors of degree
// d (deg g >= 2 d): the factors in the order the term-list splitting links
// them for the same trials, appended to *out. xp: t^p mod g. Odd p: trials
// of degree 2d - 1 and the split gcd(r^((p^d - 1)/2) - 1, g); p = 2: the
// trace r + r^2 + ... + r^(2^(d-1)), trials from `draw` (degree 2d, reduced
// modulo g when deg g = 2d) when `random`, else t, t^3, t^5, ... polls
// check_interrupt.
void equal_degree_residues(const DensePoly& g, std::int32_t d, const DensePoly& xp, std::int32_t p,
                           bool random, const TrialSource& draw, std::vector<DensePoly>* out);

}  // namespace tavrin::detail
