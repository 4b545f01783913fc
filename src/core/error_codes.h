// The numbered user errors raised below the command loop, by name. Each is
// passed to error(code, token) (or abandon); its text is the line of the
// same number in the message table. Codes beyond the established table are
// Tavrin's own (216, 226, 302, 343, 368).
#pragma once

#include <cstdint>

namespace tavrin {

// An undefined variable; inside a nested command level only a warning.
constexpr std::int32_t undefined_variable_error = 19;

// Division by zero; inside a nested command level only a warning.
constexpr std::int32_t division_by_zero_error = 22;

// The exponent of a power outside the range of one limb (big-integer
// arithmetic).
constexpr std::int32_t exponent_too_large_error = 32;

// A value beyond 32 bits in word arithmetic without a modulus (the integer
// arguments, exponents and loop bounds read with modular arithmetic off): a
// literal, a sum or a product that would wrap. The text of code 32.
constexpr std::int32_t word_overflow_error = 32;

// An array parameter whose array has just been deleted (two more lines).
constexpr std::int32_t dangling_parameter_error = 139;

// Warning: a parameter is bound to an array that was made sparse.
constexpr std::int32_t parameter_made_sparse_warning = 342;

// The input ended inside an unfinished statement, definition or quoted
// text; the token names what was left open ("while", "if", "'", ...).
constexpr std::int32_t end_of_input_error = 103;

// A coefficient without an inverse modulo `modulus`.
constexpr std::int32_t no_inverse_error = 85;

// A binomial coefficient with n above 1754 (off the table and step routes).
constexpr std::int32_t binomial_too_large_error = 87;

// A factorial argument too large: modular n above 46340, big n of two limbs.
constexpr std::int32_t factorial_too_large_error = 94;

// An operation on exact integers asked in word arithmetic outside modular
// arithmetic (the extended GCD of numbers, the greatest integer).
constexpr std::int32_t word_arithmetic_error = 62;

// The greatest integer of a value that is not a number in floating mode.
constexpr std::int32_t floating_great_int_error = 377;

// The coefficient built-in: the second argument is not a bare variable (315),
// a "," is missing (202), the exponent is not a number (155) or does not
// fit in 32 bits (156).
constexpr std::int32_t not_a_variable_error = 315;
constexpr std::int32_t comma_expected_error = 202;
constexpr std::int32_t exponent_not_number_error = 155;
constexpr std::int32_t exponent_not_int_error = 156;

// A p-th root of a value whose main variable lies above the coefficient
// field.
constexpr std::int32_t pth_root_above_field_error = 301;

// Negative exponents in an argument that must have none (Laurent mode).
constexpr std::int32_t negative_exponent_argument_error = 198;

// Negative exponents for "|" or "\" in Laurent mode.
constexpr std::int32_t laurent_division_error = 205;

// The GCD of one argument asked of a value with a denominator.
constexpr std::int32_t fraction_gcd_error = 203;

// A rational function's denominator reduced to 0.
constexpr std::int32_t zero_denominator_error = 210;

// A fold by a relation that cannot take negative exponents.
constexpr std::int32_t negative_fold_error = 211;

// A factorial above 12 in word arithmetic.
constexpr std::int32_t word_factorial_error = 240;

// A monic result asked for outside modular and floating arithmetic.
constexpr std::int32_t monic_outside_field_error = 284;

// The extended GCD refused in modular arithmetic: of numbers, or of
// polynomials that lie in the coefficient field's levels.
constexpr std::int32_t modular_extended_gcd_error = 348;

// Arguments of the one-variable extended GCD in different variables, or not
// of one variable.
constexpr std::int32_t not_one_variable_error = 349;

// A factorial in a field of characteristic 2.
constexpr std::int32_t char2_factorial_error = 347;

// Powers modulo a value: a negative exponent where no inverse is taken
// (287), a composite modulus for a number power in modular arithmetic (290),
// a polynomial modulus lying in the coefficient field (291) or not monic
// (197).
constexpr std::int32_t negative_powermod_exponent_error = 287;
constexpr std::int32_t composite_modulus_power_error = 290;
constexpr std::int32_t modulus_in_field_error = 291;
constexpr std::int32_t modulus_not_monic_error = 197;

// Factorisation over finite fields: a level that does not consist of field
// variables (300); a quotient ring that is not a field at or below the
// variable (298); a coefficient involving a variable between the factoring
// variable and the field (299); a quotient of polynomials given to the
// irreducibility test (186).
constexpr std::int32_t factor_level_error = 300;
constexpr std::int32_t factor_not_field_error = 298;
constexpr std::int32_t factor_coefficient_error = 299;
constexpr std::int32_t irreducible_quotient_error = 186;

// A p-th root asked of a coefficient that is not in the coefficient field
// (square-free decomposition in characteristic p).
constexpr std::int32_t pth_root_not_field_error = 352;

// An exponent computed from others (a shift, a sum or product of exponents)
// does not fit in 32 bits.
constexpr std::int32_t exponent_overflow_error = 368;

// A big integer would need more limbs than its 16-bit length can count.
constexpr std::int32_t number_too_long_error = 302;

// A determinant declared a perfect power (the power argument of the sparse
// Lagrange route) that is not one.
constexpr std::int32_t not_a_power_error = 343;

// Statements or expressions nested deeper than the interpreter allows.
constexpr std::int32_t nesting_too_deep_error = 216;

// An expansion by minors or a Hamiltonian search is already running.
constexpr std::int32_t search_running_error = 309;
// A matrix of 32,767 rows or more for the expansion by minors.
constexpr std::int32_t too_many_minor_rows_error = 310;

}  // namespace tavrin
