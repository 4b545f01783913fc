// The determinant and inverse router: every determinant, inverse and adjoint
// request enters through mat_invert, which looks at the form and side of the
// matrix, its entries, the arithmetic mode and the settings detcutoff,
// gauss_cutoff, rat_det_method_cut,
// mod_det_method_cut and mod_matrix_ok, and hands the request to exactly one
// method of the table below.
//
// Methods are entries of `det_methods` (method_table.cpp), which a test may
// replace one by one. The methods stand below the router: what they share
// with it (the request's flags and environment record, the exit of the
// determinant eliminations) is in method_services.h. One method asks the
// router again for a smaller matrix: the integer triangularisation of
// int_determ hands its trailing block to mat_invert (int_routes.h).
#pragma once

#include <cstdint>

#include "core/records.h"
#include "det/method_services.h"

namespace tavrin {

// how.invert false: *n (preset to 1 by the caller) receives the determinant
// of the m-by-m matrix (the sparse *spar when not nil, else the dense ar);
// how.invert true: its inverse goes into outar (how.equal: the same array as
// ar), or for a sparse matrix into *spar. how.ar_free: the input is the
// caller's to give up; how.oar_free: outar's cells hold values to free as
// they are overwritten. fct: nil or a known factor of the determinant;
// the_degree, the_degree2, the_power: -1 when absent; how.really, numprimes:
// false and 0 when absent.
void mat_invert(workptr ar, workptr outar, std::int32_t m, quolyptr n, sparseptr* spar, poly fct,
                std::int32_t the_degree, std::int32_t the_degree2, std::int32_t the_power,
                std::int32_t numprimes, const InvertFlags& how);

// The methods the router chooses among, in the order of its decision lists.
enum class det_method : std::int32_t {
  hamilton_path_driver,
  invert_sparse,
  sparse_gauss_elim,
  sparse_gauss_Bareiss,
  sparse_mod_int_determ,
  sparse_lagrange,
  sparse_minors_det,
  int_sparse_minors_det,
  mod_determ,
  int_determ,
  mod_matrix_inv,
  rat_poly_determ,
  rat_poly_interpolated,
  sparse_rat_poly_interpolated,
  mod_poly_determ,
  mod_poly_interpolated,
  fl_poly_determ,
  gauss_Bareiss,
  standard_matrix_invert,
  dense_recurrence_inverse,
  rat_poly_inverse,
  composite_determ,
};

// The method entries. A Boolean result is "done" (false: declined, the router
// goes on). gauss_Bareiss, and standard_matrix_invert for a determinant,
// leave through exitt.
struct det_method_table {
  void (*hamilton_path_driver)(sparseptr* spar, std::int32_t m, quolyptr n, poly fct);
  void (*invert_sparse)(sparseptr* spar, workptr outar, bool ar_free, bool invert, std::int32_t m,
                        quolyptr n);
  void (*sparse_gauss_elim)(sparseptr* spar, quolyptr n, std::int32_t m, std::int32_t mycut,
                            bool ar_free);
  void (*sparse_gauss_Bareiss)(sparseptr* spar, quolyptr n, std::int32_t m, std::int32_t mycut,
                               bool ar_free);
  void (*sparse_mod_int_determ)(quolyptr n, sparseptr* spar, std::int32_t m, bool ar_free,
                                bool verbose);
  bool (*sparse_lagrange)(sparseptr* spar, quolyptr n, std::int32_t m, poly fct,
                          std::int32_t the_degree, std::int32_t the_degree2, std::int32_t the_power,
                          bool really, std::int32_t numprimes);
  void (*sparse_minors_det)(quolyptr n, sparseptr* spar, std::int32_t m, bool* ar_free);
  void (*int_sparse_minors_det)(long double* x, sparseptr* spar, std::int32_t m, bool* ar_free);
  void (*mod_determ)(workptr ar, std::int32_t m, quolyptr n);
  void (*int_determ)(quolyptr n, arrptr q, workptr beta, std::int32_t rows, quolyptr pseudodet);
  bool (*mod_matrix_inv)(workptr ar, workptr outar, bool oar_free, std::int32_t m, quolyptr det,
                         quolyptr pseudodet, sparseptr* spar, bool flag);
  bool (*rat_poly_determ)(workptr ar, std::int16_t polydepth, std::int32_t m, quolyptr n,
                          bool laurent, poly fct, std::int32_t the_degree);
  bool (*mod_poly_determ)(workptr ar, std::int16_t polydepth, std::int32_t m, quolyptr n,
                          bool laurent, poly fct, std::int32_t the_degree);
  bool (*mod_poly_interpolated)(workptr ar, std::int32_t m, quolyptr n);
  bool (*rat_poly_interpolated)(workptr ar, std::int32_t m, quolyptr n);
  bool (*sparse_rat_poly_interpolated)(sparseptr spar, std::int32_t m, quolyptr n);
  bool (*fl_poly_determ)(workptr ar, std::int16_t polydepth, std::int32_t m, quolyptr n,
                         bool laurent, poly fct, std::int32_t the_degree, bool allnumbs);
  void (*gauss_Bareiss)(quolyptr n, std::int32_t m, workptr ar, bool ar_free, bool invert, poly fct,
                        mat_invert_EnvRec& env, bool equal);
  void (*standard_matrix_invert)(quolyptr n, std::int32_t m, poly fct, workptr ar, workptr outar,
                                 const InvertFlags& how, mat_invert_EnvRec& env);
  bool (*dense_recurrence_inverse)(workptr ar, workptr outar, std::int32_t m,
                                   const InvertFlags& how);
  bool (*rat_poly_inverse)(workptr ar, workptr outar, std::int32_t m, const InvertFlags& how);
  void (*composite_determ)(workptr ar, std::int32_t m, quolyptr n);
};

// The live table; starts as default_det_methods() leaves it.
extern det_method_table det_methods;
// The table as start-up leaves it (tests restore det_methods from it).
det_method_table default_det_methods();

// Test hook: called with each method the router hands a request to, just
// before the call (nil: nothing recorded).
extern void (*det_route_hook)(det_method m);

// |the_power| without its factors of the characteristic of a modular
// ground field (q modulo a prime q, 2 in the fields of 256 and 65536
// elements; those factors are undone by p-th roots); |the_power| in every
// other ring. reads: mode flags, modulus, mod_is_prime
std::int64_t power_prime_to_characteristic(std::int32_t the_power);

// The order of the root that a determinant with the power argument
// the_power > 1 is replaced by (1: none): over the integers the_power;
// in a modular field of q elements the_power when its part k prime to the
// characteristic is 1, a power of two with q = 3 mod 4, or odd with
// gcd(k, q - 1) = 1; no root in other rings (the power check has warned).
// reads: mode flags, modulus, mod_is_prime
std::int32_t determinant_root(std::int32_t the_power);

// The power argument applied to the determinant *n, whatever method
// computed it (every method computes the whole determinant): the_power > 1,
// its exact root of order determinant_root(the_power); the_power < -1, the
// polynomial h with *n = h(X^|the_power|) in every variable (its exponents
// divided by |the_power|). Error 343 (not_a_power_error) when *n is no such
// power, *n then left whole. Nothing in floating mode.
void take_determinant_power(quolyptr n, std::int32_t the_power);

// *n := its exact root of order root, numerator and denominator alike: in
// characteristic p each factor p of root a p-th root (the exponents of the
// variables divided by p, numbers and field elements by pth_root), the rest
// k of root by poly_exact_root (over the integers the root with a positive
// leading numeric coefficient, modulo a prime the one whose leading numeric
// coefficient is a square); for an even k, the root of the negative of a
// value that is minus such a power. not_a_power_error when the value is no
// such power up to sign (*n is then left as it was).
void take_determinant_root(quolyptr n, std::int32_t root);

// Whether the m*m entries of ar are massive enough for the Lagrange method:
// always when m > 6; otherwise their summed mass against mod_det_method_cut
// (lintmode) or min(rat_det_method_cut, 2^28).
bool massive_enough(workptr ar, std::int32_t m);

// The warnings 3, 4 and 5 on an unsuitable power argument (|the_power| > 1
// and lintmode only): 4 or 5 when the part of |the_power| prime to the
// characteristic is an even or an odd order that determinant_root refuses.
void check_det_power(std::int32_t the_power);

// The number of adjoined variables that occur in the m*m entries of ar.
std::int32_t variables_used(workptr ar, std::int32_t m);

}  // namespace tavrin
