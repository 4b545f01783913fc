#include "core/thresholds.h"

namespace tavrin {

std::int32_t poly_cutoff = 20;
std::int32_t div_poly_cutoff = 6;
std::int32_t fast_gcd_size = 25000;
std::int32_t fast_mult_cut = 10;
std::int32_t fast_2_var_degree = 30;
std::int32_t dense_ntt_span = 80;
std::int32_t dense_newton_degree = 600;
std::int32_t dense_transform_length = 48;
std::int32_t dense_modulus_degree = 40;
std::int32_t dense_hgcd_degree = 160;
std::int32_t onevar_hgcd_degree = 3000;
std::int32_t residue_value_degree = 0;
std::int32_t integer_value_degree = 8;
std::int32_t intpoly_rows_degree = 4;
std::int32_t monomial_sum_chars = 2048;
std::int32_t integer_gcd_limbs = 200;
std::int64_t flat_mult_terms = 256;
std::int32_t flat_cell_bits = 16;
std::int32_t flat_scan_ratio = 4;
std::int32_t flat_kronecker_ratio = 1024;
std::int32_t multcut = 16;
std::int32_t word_number_limbs = 2;
std::int32_t short_mult_limbs = 16;
std::int32_t wide_mult_limbs = 20;
std::int32_t wide_karatsuba_words = 32;
std::int32_t wide_toom3_words = 120;
std::int32_t wide_ntt_words = 280;
std::int32_t wide_divide_limbs = 8;
std::int32_t wide_divide_words = 40;
std::int32_t wide_gcd_limbs = 4;
std::int32_t wide_decimal_limbs = 16;
std::int32_t wide_decimal_words = 12;
std::int32_t decimal_read_groups = 3;
std::int32_t word_factorial_factors = 16;
std::int32_t prime_factorial_limit = 800;
std::int32_t sqcut = 16;
std::int32_t fast_gcd_hgcd_sum = 999999;
std::int32_t hgcd_euclid_degree = 100;
std::int32_t hgcd_recursion_sum = 4000;
std::int32_t two_term_modulus = 46340;
std::int32_t gf256_row_degree = 384;
std::int32_t normal_form_direct_side = 12;
std::int32_t normal_form_direct_bits = 40;
std::int32_t normal_form_budget_bits = 16;
std::int64_t normal_form_cells = 4000000;
std::int16_t trial_prime_buffer = 530;
std::int16_t trial_prime_spread = 64;
std::int16_t modular_gcd_prime_buffer = 530;
std::int16_t modular_gcd_prime_spread = 64;

std::int32_t trial_cutoff = 25;
std::int32_t gcd_stash_cutoff = 200;
std::int32_t small_gcd_stash_cut = 100;
std::int32_t mod_method_diff = 6;
std::int32_t flat_gcd_terms = 24;
std::int32_t flat_dense_ratio = 1;
std::int32_t emgcd_basic_cut = 10;
std::int32_t hgcd_cut = 11000;
std::int32_t simplest_poly_cutoff = 140;
std::int32_t fast_factor_degree = 2;
std::int32_t rat_det_method_cut = 5000;
std::int32_t quiet_lagrange_side = 8;
std::int32_t quiet_rat_lagrange_side = 6;
std::int32_t quiet_sparse_lagrange_side = 11;
std::int32_t recurrence_inverse_side = 16;
std::size_t inverse_grid_words = std::size_t{1} << 24;
std::int32_t mod_det_method_cut = 150;
std::int32_t lagrangecut = 10;
std::int32_t detcutoff = -1;
std::int32_t pseudet_heur = 0;
std::int32_t sizeval = 2600;
std::int32_t smallsize = 15;

}  // namespace tavrin
