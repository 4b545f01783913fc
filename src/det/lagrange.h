// Determinants of dense polynomial matrices by evaluation and interpolation.
//
// mod_poly_determ works modulo the word prime `modulus` (also in the
// characteristic-2 fields), fl_poly_determ on long doubles, and
// rat_poly_determ over the integers by images modulo word primes joined by
// Chinese remaindering. Each picks deg+1 points for the shallowest variable
// of the matrix (deg a max-plus bound on the determinant's degree in it),
// evaluates every entry there, takes the determinants of the evaluated
// matrices (by the same method for the next variable, by mod_determ or
// fl_determ once the entries are numbers) and interpolates.
//
// The entries are read once into flat lists of (exponent vector,
// coefficient) and the whole recursion runs on those lists, so no value of
// the caller's matrix is changed, not even for a moment: an error unwinding
// through a driver leaves the user's array, the ring and the pool as they
// were.
//
// A false result means the driver declined; the router then goes on with
// another method. A true result: *q is the determinant divided by fct.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "core/records.h"
#include "det/method_services.h"

namespace tavrin {

// The number of active interpolation levels and the most allowed.
extern std::int32_t lagrangedepth;
// The negative-exponent refusals so far (the first three print a warning).
extern std::int32_t neg_exponent_warning;

// The source of the random evaluation points and prime offsets (default
// rand_integer3). Tests and benchmarks set a seeded source; results never
// depend on it.
extern std::int32_t (*lagrange_random)();

bool mod_poly_determ(workptr ar, std::int16_t polydepth, std::int32_t m, quolyptr q,
                     bool check_laurent, poly fct, std::int32_t the_degree);
// The determinant of a matrix of polynomials modulo a prime by interpolation
// alone, for the router's default route: it prints nothing, and declines
// (false) where mod_poly_determ would print or meet negative exponents, so
// that its answer is always the polynomial the elimination gives. A degree
// too large for the modulus goes to an extension field of the prime (from
// side small_field_lagrange_side; ext_field_det), else takes the
// determinant of the residues as integers by the proven route
// (rat_poly_interpolated) and reduces it.
bool mod_poly_interpolated(workptr ar, std::int32_t m, quolyptr q);
bool fl_poly_determ(workptr ar, std::int16_t polydepth, std::int32_t m, quolyptr q,
                    bool check_laurent, poly fct, std::int32_t the_degree, bool allnumbs);
bool rat_poly_determ(workptr ar, std::int16_t polydepth, std::int32_t m, quolyptr q,
                     bool check_laurent, poly fct, std::int32_t this_deg);
// The determinant of a matrix over the rationals whose entries are
// polynomials, or fractions with a common denominator in each row (up to
// integer factors), by interpolation alone, for the router's default
// route: each row is cleared of its denominators, the
// images are taken modulo the largest word primes until their product
// passes Hadamard's bound on the coefficients, every degree bound is
// estimated for its own image, and the result is divided by the row
// multipliers. So the value is the one elimination gives, in the same
// normal form; it is multiplied into *q (as elimination does). Prints
// nothing; declines (false, *q unchanged) when verbose, under field levels,
// on negative exponents or two polynomial denominators in a row, at the
// nesting limit, or when the images decline.
bool rat_poly_interpolated(workptr ar, std::int32_t m, quolyptr q);
// The inverse of the m x m matrix of integer polynomials in ar, by
// evaluation and interpolation: the determinant and the adjugate modulo
// the largest word primes at the points of a grid (the degrees bounded for
// every minor), joined until their product passes Hadamard's bound, each
// entry adj / det then brought to normal form: the values Gauss-Jordan
// gives. They go into outar as standard elimination leaves them (outar's
// old cells freed when how.oar_free; ar's cells kept unless outar is ar).
// Declines (false, nothing changed) when verbose, under field levels, on
// rational coefficients or negative exponents, when the grid would need
// more than inverse_grid_words words, or when the matrix is singular (the
// elimination reports it). reads: number_polys, the prime tables
bool rat_poly_inverse(workptr ar, workptr outar, std::int32_t m, const InvertFlags& how);
// Whether the m x m matrix over the rationals in ar (polynomials, or
// integer denominators) is surely invertible: its determinant is not 0
// modulo a word prime at a point. false says nothing. ar: kept.
bool rat_poly_surely_regular(workptr ar, std::int32_t m);

// The same for a sparse matrix of m rows (the router's sparse route): false
// when it declines (more than 65,535 columns, a power argument, a table too
// large for one work array), and the router falls back to elimination.
bool sparse_lagrange(sparseptr* spar, quolyptr q, std::int32_t m, poly fct, std::int32_t the_degree,
                     std::int32_t the_degree2, std::int32_t the_power, bool really,
                     std::int32_t numprimes);
// rat_poly_interpolated for a sparse matrix of m rows (spar kept): the
// determinant is assigned to *q, as sparse elimination does.
bool sparse_rat_poly_interpolated(sparseptr spar, std::int32_t m, quolyptr q);

// The sparse drivers behind sparse_lagrange, over Z (numprimes > 0: exactly
// that many primes, the answer the symmetric residue modulo their product)
// and modulo the current prime. the_power: -1 none; odd p > 1: the
// determinant is g^p and g is returned; p < -1 (odd, or a power of two):
// the determinant is h(X^|p|) in each variable and h(X) is returned. Over Z
// only primes where the power can be undone are used; modulo a prime where
// it cannot, it is ignored. this_deg / the_degree bound the degree in the
// top variable, this_deg2 / the_degree2 that in the next one (<= 0: none).
bool sparse_rat_poly_determ(sparseptr spar, std::int32_t m, quolyptr q, poly fct,
                            std::int32_t this_deg, std::int32_t this_deg2, std::int32_t the_power,
                            std::int32_t numprimes);
bool sparse_mod_poly_determ(sparseptr spar, std::int32_t m, quolyptr q, poly fct,
                            std::int32_t the_degree, std::int32_t the_degree2,
                            std::int32_t the_power);

// The bound on the degree of the determinant of a sparse matrix of entry
// degrees: rows[r] holds (column, degree) of row r's stored entries, sorted
// by column (0-based). A matrix of constants gives 0 (not raised here).
using degree_row = std::vector<std::pair<std::int32_t, std::int64_t>>;
std::int64_t compute_degree_1(std::vector<degree_row> rows, std::int32_t m);

// The max-plus bound on the degree of det(D) where D[r*m + c] is the degree
// of entry (r, c) in one variable, lagrange_zero_entry for a zero entry. A
// bound of 0 is not raised here. D is destroyed.
constexpr std::int64_t lagrange_zero_entry = -268435456;
std::int64_t compute_degree(std::int64_t* D, std::int32_t m);
// The exact bound of the same kind: the largest sum of D[r*m + c] along a
// permutation that avoids the zero entries (Kuhn-Munkres, O(m^3)); 0 when
// there is none. D: kept.
std::int64_t max_assignment(const std::vector<std::int64_t>& D, std::int32_t m);

// How many primes and points the last rat_poly_determ / mod_poly_determ used
// (reported by the benchmarks).
struct lagrange_counts {
  std::int32_t primes = 0;
  std::int64_t points = 0;
};
extern lagrange_counts lagrange_last;

}  // namespace tavrin
