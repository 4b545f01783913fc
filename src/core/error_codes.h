// Every numbered user error, by a name derived from its message. A code
// is passed to error(code, token) (or abandon, warning, out_err_mess, or
// a routine that hands it on to them); its text is the line of the same
// number in the message table (data/qerrs_source.txt), quoted above each
// name. Codes that share a text carry their number in the name. A new
// code gets its line there and its name here; the layout test
// layout.error_codes rejects a bare number at a call.
#pragma once

#include <cstdint>

namespace tavrin {

// Codes error() and warning() treat apart: 0 stops everything after a
// panic, -1 opens a nested command level without a message.
constexpr std::int32_t panic_stop_code = 0;
constexpr std::int32_t open_level_code = -1;

// Warnings with texts of their own (warning() prints them; other codes
// it is given print the message of the table).
// A content loop counter turned negative: reset.
constexpr std::int32_t content_count_warning = 0;
// The factor given for Det is unusable: ignored.
constexpr std::int32_t unusable_det_factor_warning = 1;
// The degree given is unreasonable: ignored.
constexpr std::int32_t unreasonable_degree_warning = 2;
// A power of use only over the integers or the integers mod p.
constexpr std::int32_t power_outside_integers_warning = 3;
// An even power needs |power| = 2^k and modulus = 3 mod 4.
constexpr std::int32_t even_power_warning = 4;
// An odd power needs gcd(|power|, modulus - 1) = 1.
constexpr std::int32_t odd_power_warning = 5;
// Det cannot be done.
constexpr std::int32_t cannot_do_det_warning = 90;

// The message table.
// ")" expected.
constexpr std::int32_t close_paren_expected_error = 1;
// A factor cannot begin with this symbol.
constexpr std::int32_t factor_cannot_begin_symbol_error = 2;
// A name must begin with a lower-case letter.
constexpr std::int32_t name_must_begin_lower_case_letter_error = 3;
// "=" expected.
constexpr std::int32_t equals_expected_error = 4;
// A parameter name must begin with a lower-case letter.
constexpr std::int32_t parameter_name_must_begin_lower_case_error = 5;
// "," or ")" expected in the parameter list.
constexpr std::int32_t comma_close_paren_expected_parameter_list_error = 6;
// "=" expected after the parameter list.
constexpr std::int32_t equals_expected_after_parameter_list_error = 7;
// This symbol is not allowed here.
constexpr std::int32_t symbol_not_allowed_8_error = 8;
// This symbol is not allowed here.
constexpr std::int32_t symbol_not_allowed_9_error = 9;
// This symbol is not allowed here.
constexpr std::int32_t symbol_not_allowed_10_error = 10;
// A function name must begin with an upper-case letter.
constexpr std::int32_t function_name_must_begin_upper_case_error = 11;
// "(" or "=" expected after the function name.
constexpr std::int32_t open_paren_equals_expected_after_function_name_error = 12;
// Relational operator expected in the condition.
constexpr std::int32_t relational_operator_expected_condition_error = 13;
// "," or ")" expected after an argument.
constexpr std::int32_t comma_close_paren_expected_after_argument_error = 14;
// Too many arguments or options.
constexpr std::int32_t too_many_arguments_options_error = 15;
// No such function.
constexpr std::int32_t no_such_function_error = 16;
// No such "&" command.
constexpr std::int32_t no_such_amp_command_error = 17;
// This symbol is not allowed here.
constexpr std::int32_t symbol_not_allowed_18_error = 18;
// Undefined variable. (inside a nested command level only a warning)
constexpr std::int32_t undefined_variable_error = 19;
// No such function to cancel.
constexpr std::int32_t no_such_function_cancel_error = 20;
// Nothing of this name can be cancelled.
constexpr std::int32_t nothing_name_can_cancelled_error = 21;
// Division by zero. (inside a nested command level only a warning)
constexpr std::int32_t division_by_zero_error = 22;
// Path search needs a dense square matrix of at most 100 rows.
constexpr std::int32_t path_search_needs_dense_square_matrix_error = 23;
// "]" expected.
constexpr std::int32_t close_bracket_expected_24_error = 24;
// This symbol is not allowed here.
constexpr std::int32_t symbol_not_allowed_25_error = 25;
// Array store full: too many dense array cells.
constexpr std::int32_t array_store_full_too_many_dense_error = 26;
// Subscript or dimension out of range.
constexpr std::int32_t subscript_dimension_out_range_error = 27;
// No such array.
constexpr std::int32_t no_such_array_error = 28;
// Not an assigned variable or array element.
constexpr std::int32_t not_assigned_variable_array_element_error = 29;
// Array parameter lost: an array of its name was found.
constexpr std::int32_t array_parameter_lost_array_name_was_error = 30;
// Tokens left over after the function body.
constexpr std::int32_t tokens_left_over_after_function_body_error = 31;
// Integer too large: more than one limb.
constexpr std::int32_t exponent_too_large_error = 32;
// Bad quoted name: empty, or text ended inside the quotes.
constexpr std::int32_t bad_quoted_name_empty_text_ended_error = 33;
// This symbol is not allowed here.
constexpr std::int32_t symbol_not_allowed_34_error = 34;
// "{" not allowed here: ";" or an end word expected.
constexpr std::int32_t open_brace_not_allowed_semicolon_end_word_error = 35;
// Sparse Chpoly in word mode needs fewer rows than the modulus.
constexpr std::int32_t sparse_chpoly_word_mode_needs_fewer_error = 36;
// Square root of a negative number.
constexpr std::int32_t square_root_negative_number_error = 37;
// ";" or an end word expected.
constexpr std::int32_t semicolon_end_word_expected_error = 38;
// Matrix sizes do not match.
constexpr std::int32_t matrix_sizes_do_not_match_error = 39;
// Array name expected: a lower-case letter first.
constexpr std::int32_t array_name_expected_lower_case_letter_error = 40;
// The array of values is empty.
constexpr std::int32_t array_values_empty_error = 41;
// An array name must begin with a lower-case letter.
constexpr std::int32_t array_name_must_begin_lower_case_error = 42;
// Array too large: more than 1,000,000 entries.
constexpr std::int32_t array_too_large_more_than_1000000_error = 43;
// Matrix is singular: no inverse.
constexpr std::int32_t matrix_singular_no_inverse_error = 44;
// Scalar matrix: its size is not known here.
constexpr std::int32_t scalar_matrix_size_not_known_error = 45;
// The array has no entries.
constexpr std::int32_t array_has_no_entries_error = 46;
// Loop value out of range: magnitude 2^28 or more.
constexpr std::int32_t loop_value_out_range_magnitude_2_error = 47;
// The array of values has an uninitialised entry.
constexpr std::int32_t array_values_has_uninitialised_entry_error = 48;
// "," expected in the loop header.
constexpr std::int32_t comma_expected_loop_header_error = 49;
// Loop start is not a one-limb integer.
constexpr std::int32_t loop_start_not_one_limb_integer_error = 50;
// A loop variable must begin with a lower-case letter.
constexpr std::int32_t loop_variable_must_begin_lower_case_error = 51;
// Loop end is not a one-limb integer.
constexpr std::int32_t loop_end_not_one_limb_integer_error = 52;
// Loop step is not a one-limb integer.
constexpr std::int32_t loop_step_not_one_limb_integer_error = 53;
// This symbol is not allowed here.
constexpr std::int32_t symbol_not_allowed_54_error = 54;
// Ranges given after a name that is not an array.
constexpr std::int32_t ranges_given_after_name_not_array_error = 55;
// Row range outside the array.
constexpr std::int32_t row_range_outside_array_error = 56;
// Row range reversed.
constexpr std::int32_t row_range_reversed_error = 57;
// Column range outside the array.
constexpr std::int32_t column_range_outside_array_error = 58;
// Column range reversed.
constexpr std::int32_t column_range_reversed_error = 59;
// The array value does not fit the block.
constexpr std::int32_t array_value_does_not_fit_block_error = 60;
// "]" expected after the subscripts.
constexpr std::int32_t close_bracket_expected_after_subscripts_error = 61;
// Not available in word arithmetic outside modular mode.
constexpr std::int32_t word_arithmetic_error = 62;
// Closing "|" expected.
constexpr std::int32_t closing_bar_expected_error = 63;
// "(" expected after "#".
constexpr std::int32_t open_paren_expected_after_hash_error = 64;
// "=", ">" or "<" expected.
constexpr std::int32_t equals_greater_less_expected_error = 65;
// ")" expected after the count.
constexpr std::int32_t close_paren_expected_after_count_error = 66;
// Numer or Denom of a number.
constexpr std::int32_t numer_denom_number_error = 67;
// Operand without a value.
constexpr std::int32_t operand_without_value_error = 68;
// This symbol is not allowed here.
constexpr std::int32_t symbol_not_allowed_69_error = 69;
// "," or ")" expected.
constexpr std::int32_t comma_close_paren_expected_error = 70;
// Too many entries: more than 999,999.
constexpr std::int32_t too_many_entries_more_than_999999_error = 71;
// Matrix operation applied to a scalar.
constexpr std::int32_t matrix_operation_applied_scalar_error = 72;
// The ground ring can change only at the top command level.
constexpr std::int32_t ground_ring_can_change_only_top_error = 73;
// Diag applied to a scalar.
constexpr std::int32_t diag_applied_scalar_error = 74;
// This symbol is not allowed here.
constexpr std::int32_t symbol_not_allowed_75_error = 75;
// This symbol is not allowed here.
constexpr std::int32_t symbol_not_allowed_76_error = 76;
// ":=", "=" or "from" expected in the loop header.
constexpr std::int32_t assign_equals_from_expected_loop_header_error = 77;
// ">" expected after the loop header.
constexpr std::int32_t greater_expected_after_loop_header_error = 78;
// Start value below the index origin.
constexpr std::int32_t start_value_below_index_origin_error = 79;
// End value below the index origin.
constexpr std::int32_t end_value_below_index_origin_error = 80;
// Statement ended inside a sum or product header.
constexpr std::int32_t statement_ended_inside_sum_product_header_error = 81;
// Step must be at least 1.
constexpr std::int32_t step_must_least_1_error = 82;
// No ranges allowed on the system array.
constexpr std::int32_t no_ranges_allowed_system_array_error = 83;
// Modulus must lie between 2 and 2147483644.
constexpr std::int32_t modulus_must_lie_between_2_2147483644_error = 84;
// No inverse modulo the modulus.
constexpr std::int32_t no_inverse_error = 85;
// This symbol is not allowed here.
constexpr std::int32_t symbol_not_allowed_86_error = 86;
// Binomial argument too large.
constexpr std::int32_t binomial_too_large_error = 87;
// All 20 work arrays are in use.
constexpr std::int32_t all_20_work_arrays_use_error = 88;
// No work array free for the matrix inversion.
constexpr std::int32_t no_work_array_free_matrix_inversion_error = 89;
// This symbol is not allowed here.
constexpr std::int32_t symbol_not_allowed_90_error = 90;
// Argument is not a number.
constexpr std::int32_t argument_not_number_error = 91;
// "[" expected after Diag.
constexpr std::int32_t open_bracket_expected_after_diag_error = 92;
// Diag vector length differs from the rows of the block.
constexpr std::int32_t diag_vector_length_differs_from_rows_error = 93;
// Factorial argument too large.
constexpr std::int32_t factorial_too_large_error = 94;
// "," or ")" expected in the cancel list.
constexpr std::int32_t comma_close_paren_expected_cancel_list_error = 95;
// "[" expected.
constexpr std::int32_t open_bracket_expected_96_error = 96;
// "]" expected.
constexpr std::int32_t close_bracket_expected_97_error = 97;
// A field must be the top level of the run of field levels.
constexpr std::int32_t field_must_top_level_run_field_error = 98;
// "]" expected after the array name.
constexpr std::int32_t close_bracket_expected_after_array_name_error = 99;
// "[" expected before the name.
constexpr std::int32_t open_bracket_expected_before_name_error = 100;
// "]" expected after the name.
constexpr std::int32_t close_bracket_expected_after_name_error = 101;
// "'" expected around the new name.
constexpr std::int32_t quote_expected_around_new_name_error = 102;
// Input ended inside this unfinished statement or definition.
constexpr std::int32_t input_ended_inside_unfinished_statement_definition_error = 103;
// The condition must end with "]".
constexpr std::int32_t condition_must_end_close_bracket_error = 104;
// "," or ")" expected in the output list.
constexpr std::int32_t comma_close_paren_expected_output_list_error = 105;
// The output list ended before ")".
constexpr std::int32_t output_list_ended_before_close_paren_error = 106;
// Bad end of a "?" statement.
constexpr std::int32_t bad_end_query_statement_error = 107;
// This symbol is not allowed here.
constexpr std::int32_t symbol_not_allowed_108_error = 108;
// A character constant must end with "'".
constexpr std::int32_t character_constant_must_end_quote_error = 109;
// Empty quoted text.
constexpr std::int32_t empty_quoted_text_error = 110;
// Vector too long: more than 1,000,000 entries.
constexpr std::int32_t vector_too_long_more_than_1000000_error = 111;
// Matrices to join differ in both rows and columns.
constexpr std::int32_t matrices_join_differ_both_rows_columns_error = 112;
// "_" between two scalars.
constexpr std::int32_t underscore_between_two_scalars_error = 113;
// A command is one character.
constexpr std::int32_t command_one_character_error = 114;
// Square root of a value that is not a number.
constexpr std::int32_t square_root_value_not_number_error = 115;
// Exponent is not a number.
constexpr std::int32_t exponent_not_number_116_error = 116;
// This symbol is not allowed here.
constexpr std::int32_t symbol_not_allowed_117_error = 117;
// Subscript or dimension is not an integer.
constexpr std::int32_t subscript_dimension_not_integer_error = 118;
// Entry is not a number.
constexpr std::int32_t entry_not_number_119_error = 119;
// Order count of a value that is not a number.
constexpr std::int32_t order_count_value_not_number_error = 120;
// Character display of an entry that is not a number.
constexpr std::int32_t character_display_entry_not_number_error = 121;
// Pseudo-determinant of an array that is not sparse.
constexpr std::int32_t pseudo_determinant_array_not_sparse_error = 122;
// Order comparison of values that are not numbers.
constexpr std::int32_t order_comparison_values_not_numbers_error = 123;
// Bad variable name.
constexpr std::int32_t bad_variable_name_error = 124;
// Name of an adjoined variable not allowed here.
constexpr std::int32_t name_adjoined_variable_not_allowed_error = 125;
// Variable already adjoined.
constexpr std::int32_t variable_already_adjoined_error = 126;
// This symbol is not allowed here.
constexpr std::int32_t symbol_not_allowed_127_error = 127;
// ">" expected.
constexpr std::int32_t greater_expected_error = 128;
// Statement must end with ";" or ":".
constexpr std::int32_t statement_must_end_semicolon_colon_error = 129;
// Factorial of a value that is not a number.
constexpr std::int32_t factorial_value_not_number_error = 130;
// "(" expected after &_m.
constexpr std::int32_t open_paren_expected_after_m_error = 131;
// Too many empty statements in a row.
constexpr std::int32_t too_many_empty_statements_row_error = 132;
// This setting does not take this value.
constexpr std::int32_t setting_does_not_take_value_error = 133;
// Pseudo-determinant must be positive.
constexpr std::int32_t pseudo_determinant_must_positive_error = 134;
// ")" expected after the setting.
constexpr std::int32_t close_paren_expected_after_setting_error = 135;
// No such setting.
constexpr std::int32_t no_such_setting_error = 136;
// Setting value must not be negative.
constexpr std::int32_t setting_value_must_not_negative_error = 137;
// An array parameter cannot be changed here.
constexpr std::int32_t array_parameter_cannot_changed_error = 138;
// An array parameter still refers to the array (two more lines follow the message)
constexpr std::int32_t dangling_parameter_error = 139;
// An array parameter cannot be renamed.
constexpr std::int32_t array_parameter_cannot_renamed_error = 140;
// This setting takes no quoted value.
constexpr std::int32_t setting_takes_no_quoted_value_error = 141;
// Random matrix: the number of rows is not known.
constexpr std::int32_t random_matrix_number_rows_not_known_error = 142;
// The answer is not a number.
constexpr std::int32_t answer_not_number_143_error = 143;
// "<" expected after the sum or product word.
constexpr std::int32_t less_expected_after_sum_product_word_error = 144;
// "[", "(" or "<" expected after the loop header.
constexpr std::int32_t open_bracket_open_paren_less_expected_after_loop_error = 145;
// The answer must be 0, 1 or 2.
constexpr std::int32_t answer_must_0_1_2_error = 146;
// Setting value is not a number.
constexpr std::int32_t setting_value_not_number_error = 147;
// Modulus is not a number.
constexpr std::int32_t modulus_not_number_error = 148;
// Input and output file must differ.
constexpr std::int32_t input_output_file_must_differ_error = 149;
// ")" expected after the values.
constexpr std::int32_t close_paren_expected_after_values_error = 150;
// This symbol is not allowed here.
constexpr std::int32_t symbol_not_allowed_151_error = 151;
// ":" expected.
constexpr std::int32_t colon_expected_error = 152;
// "]" expected after the condition.
constexpr std::int32_t close_bracket_expected_after_condition_error = 153;
// "(" expected.
constexpr std::int32_t open_paren_expected_154_error = 154;
// Exponent is not a number.
constexpr std::int32_t exponent_not_number_error = 155;
// Exponent too large.
constexpr std::int32_t exponent_not_int_error = 156;
// Target must be a lower-case name.
constexpr std::int32_t target_must_lower_case_name_error = 157;
// Value has a denominator or a variable at or above the level.
constexpr std::int32_t value_has_denominator_variable_above_level_error = 158;
// Terms out of order, or coefficient in the wrong variables.
constexpr std::int32_t terms_out_order_coefficient_wrong_variables_error = 159;
// Not a polynomial variable.
constexpr std::int32_t not_polynomial_variable_error = 160;
// Polynomial variable expected.
constexpr std::int32_t polynomial_variable_expected_error = 161;
// Bad exponent after "^".
constexpr std::int32_t bad_exponent_after_caret_error = 162;
// Zero coefficient or term.
constexpr std::int32_t zero_coefficient_term_error = 163;
// Zero numerator before "/".
constexpr std::int32_t zero_numerator_before_slash_error = 164;
// Negative exponent outside Laurent mode.
constexpr std::int32_t negative_exponent_outside_laurent_mode_165_error = 165;
// Negative exponent outside Laurent mode.
constexpr std::int32_t negative_exponent_outside_laurent_mode_166_error = 166;
// Numer or Denom of an empty cell.
constexpr std::int32_t numer_denom_empty_cell_error = 167;
// Relation with a negative exponent in Laurent mode.
constexpr std::int32_t relation_negative_exponent_laurent_mode_error = 168;
// Not an adjoined variable.
constexpr std::int32_t not_adjoined_variable_error = 169;
// Cannot cancel while an array expression is evaluated.
constexpr std::int32_t cannot_cancel_while_array_expression_evaluated_error = 170;
// A relation must have degree at least 2.
constexpr std::int32_t relation_must_have_degree_least_2_error = 171;
// Matrix is not square.
constexpr std::int32_t matrix_not_square_172_error = 172;
// Entry count is not a multiple of the first line's length.
constexpr std::int32_t entry_count_not_multiple_first_line_error = 173;
// Polynomial at a matrix that is not square.
constexpr std::int32_t polynomial_matrix_not_square_error = 174;
// The system array is empty.
constexpr std::int32_t system_array_empty_error = 175;
// The system array is not allowed here.
constexpr std::int32_t system_array_not_allowed_error = 176;
// "(" expected.
constexpr std::int32_t open_paren_expected_177_error = 177;
// "[" expected.
constexpr std::int32_t open_bracket_expected_178_error = 178;
// Row or column index out of range.
constexpr std::int32_t row_column_index_out_range_179_error = 179;
// Row exchange needs all rows of the array.
constexpr std::int32_t row_exchange_needs_all_rows_array_error = 180;
// Column exchange needs all columns of the array.
constexpr std::int32_t column_exchange_needs_all_columns_array_error = 181;
// Sub-array not allowed here.
constexpr std::int32_t sub_array_not_allowed_error = 182;
// Not available in word arithmetic.
constexpr std::int32_t not_available_word_arithmetic_error = 183;
// The matrix has no entries.
constexpr std::int32_t matrix_has_no_entries_error = 184;
// Value has a denominator: choose Numer or Denom.
constexpr std::int32_t value_has_denominator_choose_numer_denom_error = 185;
// Value has a polynomial denominator.
constexpr std::int32_t irreducible_quotient_error = 186;
// More values than variables.
constexpr std::int32_t more_values_than_variables_error = 187;
// Modulus must not be a number in modular arithmetic.
constexpr std::int32_t modulus_must_not_number_modular_arithmetic_error = 188;
// The answer is not a number.
constexpr std::int32_t answer_not_number_189_error = 189;
// The loop header must end the loop text.
constexpr std::int32_t loop_header_must_end_loop_text_error = 190;
// Entrywise operation on a sparse matrix.
constexpr std::int32_t entrywise_operation_sparse_matrix_error = 191;
// Single monomial expected.
constexpr std::int32_t single_monomial_expected_error = 192;
// More listed values than variables.
constexpr std::int32_t more_listed_values_than_variables_error = 193;
// Trace needs a non-empty square matrix.
constexpr std::int32_t trace_needs_non_empty_square_matrix_error = 194;
// The relation is a number.
constexpr std::int32_t relation_number_error = 195;
// Rational function not allowed here.
constexpr std::int32_t rational_function_not_allowed_error = 196;
// Leading coefficient must be 1.
constexpr std::int32_t modulus_not_monic_error = 197;
// Negative exponent, or a constant where a variable is needed.
constexpr std::int32_t negative_exponent_argument_error = 198;
// Variable already modded out.
constexpr std::int32_t variable_already_modded_out_error = 199;
// Cancel a relation with the bare variable only.
constexpr std::int32_t cancel_relation_bare_variable_only_error = 200;
// Bad auxiliary prime.
constexpr std::int32_t bad_auxiliary_prime_error = 201;
// "," expected.
constexpr std::int32_t comma_expected_error = 202;
// GCD of a value with a denominator.
constexpr std::int32_t fraction_gcd_error = 203;
// Exponent 0 not allowed.
constexpr std::int32_t exponent_0_not_allowed_error = 204;
// No "|" or "\" with negative exponents in Laurent mode.
constexpr std::int32_t laurent_division_error = 205;
// Variable name expected after "^".
constexpr std::int32_t variable_name_expected_after_caret_error = 206;
// A variable or array element expected after "^".
constexpr std::int32_t variable_array_element_expected_after_caret_error = 207;
// Bad symbol after "<".
constexpr std::int32_t bad_symbol_after_less_error = 208;
// Quoted string too long.
constexpr std::int32_t quoted_string_too_long_error = 209;
// Denominator is zero.
constexpr std::int32_t zero_denominator_error = 210;
// The relation cannot fold negative exponents.
constexpr std::int32_t negative_fold_error = 211;
// Matrix is not square.
constexpr std::int32_t matrix_not_square_212_error = 212;
// No polynomial variables.
constexpr std::int32_t no_polynomial_variables_error = 213;
// "else" after a loop body.
constexpr std::int32_t else_after_loop_body_error = 214;
// This symbol is not allowed here.
constexpr std::int32_t symbol_not_allowed_215_error = 215;
// Statements or expressions nested too deeply. (Tavrin's own code)
constexpr std::int32_t nesting_too_deep_error = 216;
// "[" expected after "%".
constexpr std::int32_t open_bracket_expected_after_percent_error = 217;
// "]" expected after the index.
constexpr std::int32_t close_bracket_expected_after_index_error = 218;
// Index is not a number.
constexpr std::int32_t index_not_number_error = 219;
// Empty slot in the store of arrays.
constexpr std::int32_t empty_slot_store_arrays_error = 220;
// Index outside 0 to 399999.
constexpr std::int32_t index_outside_0_399999_error = 221;
// No system function defined.
constexpr std::int32_t no_system_function_defined_error = 222;
// Increment is not a number.
constexpr std::int32_t increment_not_number_error = 223;
// Increment too large.
constexpr std::int32_t increment_too_large_error = 224;
// "for", "if" or "while" not allowed here.
constexpr std::int32_t if_while_not_allowed_error = 225;
// Writing the output file failed; the file is closed.
constexpr std::int32_t writing_output_file_failed_file_closed_error = 226;
// Not a number.
constexpr std::int32_t not_number_error = 227;
// Too many variables: 150 already adjoined.
constexpr std::int32_t too_many_variables_150_already_adjoined_error = 228;
// Compile statement not found.
constexpr std::int32_t compile_statement_not_found_error = 229;
// More than 100 names.
constexpr std::int32_t more_than_100_names_error = 230;
// ")" expected after the extra names.
constexpr std::int32_t close_paren_expected_after_extra_names_error = 231;
// The target must begin with a lower-case letter.
constexpr std::int32_t target_must_begin_lower_case_letter_error = 232;
// Name already in the table.
constexpr std::int32_t name_already_table_error = 233;
// Compile outside a function.
constexpr std::int32_t compile_outside_function_error = 234;
// This symbol is not allowed here.
constexpr std::int32_t symbol_not_allowed_235_error = 235;
// "**" must come first.
constexpr std::int32_t double_star_must_come_first_error = 236;
// Repeated parameter name.
constexpr std::int32_t repeated_parameter_name_error = 237;
// Determinant bound is not a number.
constexpr std::int32_t determinant_bound_not_number_error = 238;
// Binomial in word arithmetic: n must be at most 30.
constexpr std::int32_t binomial_word_arithmetic_n_must_most_error = 239;
// Factorial too large for word arithmetic.
constexpr std::int32_t word_factorial_error = 240;
// Matrix is not square.
constexpr std::int32_t matrix_not_square_241_error = 241;
// Sparse array not allowed here.
constexpr std::int32_t sparse_array_not_allowed_242_error = 242;
// The system array cannot be a target.
constexpr std::int32_t system_array_cannot_target_error = 243;
// Sub-array of a sparse array not allowed.
constexpr std::int32_t sub_array_sparse_array_not_allowed_error = 244;
// Too many rows: more than 32767.
constexpr std::int32_t too_many_rows_more_than_32767_error = 245;
// Value is not a number.
constexpr std::int32_t value_not_number_error = 246;
// Sparse array parameter not allowed.
constexpr std::int32_t sparse_array_parameter_not_allowed_error = 247;
// File name is empty.
constexpr std::int32_t file_name_empty_error = 248;
// Dense value into a sparse array of another row count.
constexpr std::int32_t dense_value_into_sparse_array_another_error = 249;
// Sparse matrix too large for this operation.
constexpr std::int32_t sparse_matrix_too_large_operation_error = 250;
// "]" expected after the pairs.
constexpr std::int32_t close_bracket_expected_after_pairs_error = 251;
// Minimal polynomial needs a sparse square matrix.
constexpr std::int32_t minimal_polynomial_needs_sparse_square_matrix_error = 252;
// Matrix too small: at least 8 rows needed.
constexpr std::int32_t matrix_too_small_least_8_rows_error = 253;
// Entry is not a number.
constexpr std::int32_t entry_not_number_254_error = 254;
// "[" expected before a pair.
constexpr std::int32_t open_bracket_expected_before_pair_error = 255;
// Not available in word arithmetic outside modular mode.
constexpr std::int32_t not_available_word_arithmetic_outside_modular_error = 256;
// Method must be 0, 1, 2 or 3.
constexpr std::int32_t method_must_0_1_2_3_error = 257;
// Array with a subscript not allowed here.
constexpr std::int32_t array_subscript_not_allowed_error = 258;
// Sparse array not allowed here.
constexpr std::int32_t sparse_array_not_allowed_259_error = 259;
// Array entry is not a number.
constexpr std::int32_t array_entry_not_number_error = 260;
// "o" expected after "&".
constexpr std::int32_t o_expected_after_amp_error = 261;
// "&o" only inside an output list.
constexpr std::int32_t amp_o_only_inside_output_list_error = 262;
// No output file is open.
constexpr std::int32_t no_output_file_open_error = 263;
// "&p(" not allowed in stored text.
constexpr std::int32_t amp_p_not_allowed_stored_text_error = 264;
// Row or column is not a number.
constexpr std::int32_t row_column_not_number_error = 265;
// The level below a field must be a field.
constexpr std::int32_t level_below_field_must_field_error = 266;
// "]" expected.
constexpr std::int32_t close_bracket_expected_267_error = 267;
// Too many auxiliary primes: more than 4583.
constexpr std::int32_t too_many_auxiliary_primes_error = 268;
// "," not allowed when cancelling.
constexpr std::int32_t comma_not_allowed_when_cancelling_error = 269;
// Auxiliary primes given without a field.
constexpr std::int32_t auxiliary_primes_given_without_field_error = 270;
// A relation that is not a field, in Laurent mode.
constexpr std::int32_t relation_not_field_laurent_mode_error = 271;
// The answer is not a number or out of range.
constexpr std::int32_t answer_not_number_out_range_error = 272;
// Level or count out of range.
constexpr std::int32_t level_count_out_range_error = 273;
// Statement ended inside a sum or product.
constexpr std::int32_t statement_ended_inside_sum_product_error = 274;
// The value involves a variable it would be raised past.
constexpr std::int32_t value_involves_variable_would_raised_past_error = 275;
// "[" form not allowed here.
constexpr std::int32_t open_bracket_form_not_allowed_error = 276;
// Cannot lower past the last variable.
constexpr std::int32_t cannot_lower_past_last_variable_error = 277;
// Variable level missing or out of range.
constexpr std::int32_t variable_level_missing_out_range_error = 278;
// Binomial argument too large: more than 150.
constexpr std::int32_t binomial_argument_too_large_error = 279;
// Division test of a value with a denominator.
constexpr std::int32_t division_test_value_denominator_error = 280;
// Exact division needs a prime modulus in word arithmetic.
constexpr std::int32_t exact_division_needs_prime_modulus_word_error = 281;
// A single variable expected.
constexpr std::int32_t single_variable_expected_error = 282;
// Order of derivative must not be negative.
constexpr std::int32_t order_derivative_must_not_negative_error = 283;
// Only in modular arithmetic.
constexpr std::int32_t monic_outside_field_error = 284;
// "+" or "-" expected after &C.
constexpr std::int32_t plus_minus_expected_after_c_error = 285;
// The base has a denominator.
constexpr std::int32_t base_has_denominator_error = 286;
// Negative exponent.
constexpr std::int32_t negative_powermod_exponent_error = 287;
// Modulus must be a positive number or a polynomial.
constexpr std::int32_t modulus_must_positive_number_polynomial_error = 288;
// Number too large for the primality test.
constexpr std::int32_t number_too_large_primality_test_error = 289;
// A power of a residue needs a prime modulus.
constexpr std::int32_t composite_modulus_power_error = 290;
// Polynomial modulus lies in the coefficient field.
constexpr std::int32_t modulus_in_field_error = 291;
// A numeric base needs a modulus.
constexpr std::int32_t numeric_base_needs_modulus_error = 292;
// Modulus is not prime.
constexpr std::int32_t modulus_not_prime_error = 293;
// Increment would carry between limbs.
constexpr std::int32_t increment_would_carry_between_limbs_error = 294;
// The answer must lie between 300 and 4583.
constexpr std::int32_t answer_must_lie_between_300_4583_error = 295;
// The store of arrays "%" is not allowed here.
constexpr std::int32_t store_arrays_percent_not_allowed_error = 296;
// An element of the store of arrays cannot be reshaped.
constexpr std::int32_t element_store_arrays_cannot_reshaped_error = 297;
// Cannot factor: a relation below does not give a field.
constexpr std::int32_t factor_not_field_error = 298;
// Cannot factor: a coefficient involves a variable in between.
constexpr std::int32_t factor_coefficient_error = 299;
// Level out of range or negative.
constexpr std::int32_t factor_level_error = 300;
// The variable lies above the coefficient field.
constexpr std::int32_t pth_root_above_field_error = 301;
// Number too long: more than 32,767 limbs. (Tavrin's own code)
constexpr std::int32_t number_too_long_error = 302;
// ";" or ":" expected after &v.
constexpr std::int32_t semicolon_colon_expected_after_v_error = 303;
// No evaluation point left in a block.
constexpr std::int32_t no_evaluation_point_left_block_error = 304;
// The factor does not divide the determinant.
constexpr std::int32_t factor_does_not_divide_determinant_error = 305;
// Too many output arrays.
constexpr std::int32_t too_many_output_arrays_306_error = 306;
// Monomial with a denominator or more than one term.
constexpr std::int32_t monomial_denominator_more_than_one_term_error = 307;
// This symbol is not allowed here.
constexpr std::int32_t symbol_not_allowed_308_error = 308;
// A search or expansion is already running.
constexpr std::int32_t search_running_error = 309;
// Too many rows: 32767 or more.
constexpr std::int32_t too_many_minor_rows_error = 310;
// Array entry must be a polynomial.
constexpr std::int32_t array_entry_must_polynomial_error = 311;
// Content of a reference not allowed in Laurent mode.
constexpr std::int32_t content_reference_not_allowed_laurent_mode_error = 312;
// "^" not allowed here.
constexpr std::int32_t caret_not_allowed_error = 313;
// Integer out of range.
constexpr std::int32_t integer_out_range_error = 314;
// A single variable expected.
constexpr std::int32_t not_a_variable_error = 315;
// A variable or array element expected.
constexpr std::int32_t variable_array_element_expected_error = 316;
// ":" must be followed by "=", "+", "-" or "*".
constexpr std::int32_t colon_must_followed_equals_plus_minus_error = 317;
// Element of a sparse array, or an element without a cell.
constexpr std::int32_t element_sparse_array_element_without_cell_error = 318;
// Misplaced "else", "fi" or "od".
constexpr std::int32_t misplaced_else_fi_od_error = 319;
// Only one monomial allowed here.
constexpr std::int32_t only_one_monomial_allowed_error = 320;
// Negative exponent in the monomial.
constexpr std::int32_t negative_exponent_monomial_error = 321;
// This symbol is not allowed here.
constexpr std::int32_t symbol_not_allowed_322_error = 322;
// Matrix entry with a denominator.
constexpr std::int32_t matrix_entry_denominator_error = 323;
// The first two output arrays are required.
constexpr std::int32_t first_two_output_arrays_required_error = 324;
// Too many output arrays.
constexpr std::int32_t too_many_output_arrays_325_error = 325;
// Too many pivot positions for a work array.
constexpr std::int32_t too_many_pivot_positions_work_array_error = 326;
// Three output arrays are required.
constexpr std::int32_t three_output_arrays_required_error = 327;
// Row or column list must be dense.
constexpr std::int32_t row_column_list_must_dense_error = 328;
// Row or column list missing or empty.
constexpr std::int32_t row_column_list_missing_empty_error = 329;
// The source array must be sparse.
constexpr std::int32_t source_array_must_sparse_error = 330;
// Row or column index is not a number.
constexpr std::int32_t row_column_index_not_number_error = 331;
// Row or column index out of range.
constexpr std::int32_t row_column_index_out_range_332_error = 332;
// Dense array not allowed here.
constexpr std::int32_t dense_array_not_allowed_error = 333;
// "char" expected after ":".
constexpr std::int32_t char_expected_after_colon_error = 334;
// The array must be sparse.
constexpr std::int32_t array_must_sparse_error = 335;
// Header over a sparse column not allowed here.
constexpr std::int32_t header_over_sparse_column_not_allowed_error = 336;
// Lower-case name expected after "*".
constexpr std::int32_t lower_case_name_expected_after_star_error = 337;
// The array of values must be a stored array.
constexpr std::int32_t array_values_must_stored_array_error = 338;
// "/" not allowed after "*", "\" or "|".
constexpr std::int32_t slash_not_allowed_after_star_backslash_error = 339;
// "/" not allowed directly after an operator.
constexpr std::int32_t slash_not_allowed_directly_after_operator_error = 340;
// Digit expected.
constexpr std::int32_t digit_expected_error = 341;
// A parameter is bound to an array that was made sparse.
constexpr std::int32_t parameter_made_sparse_warning = 342;
// The determinant is not a perfect power of that order. (Tavrin's own code)
constexpr std::int32_t not_a_power_error = 343;
// Content level at or below the field depth.
constexpr std::int32_t content_level_below_field_depth_error = 344;
// Content level out of range.
constexpr std::int32_t content_level_out_range_error = 345;
// Prime index must lie between 1 and 1229.
constexpr std::int32_t prime_index_must_lie_between_1_error = 346;
// Factorial not available in characteristic 2.
constexpr std::int32_t char2_factorial_error = 347;
// Extended GCD not available in this ring.
constexpr std::int32_t modular_extended_gcd_error = 348;
// Extended GCD of a value constant in its main variable.
constexpr std::int32_t not_one_variable_error = 349;
// Statement end expected after &_m(...).
constexpr std::int32_t statement_end_expected_after_m_error = 350;
// Power must have absolute value at least 2.
constexpr std::int32_t power_must_have_absolute_value_least_error = 351;
// Coefficient does not lie in the field.
constexpr std::int32_t pth_root_not_field_error = 352;
// Cannot return to rational arithmetic after modding out mod p.
constexpr std::int32_t cannot_return_rational_arithmetic_after_modding_error = 353;
// Characteristic 2: entries must have degree at most 1.
constexpr std::int32_t characteristic_2_entries_must_have_degree_error = 354;
// "P" expected after ",".
constexpr std::int32_t p_expected_after_comma_error = 355;
// No relation allowed when cancelling.
constexpr std::int32_t no_relation_allowed_when_cancelling_error = 356;
// The relation must be in the top variable.
constexpr std::int32_t relation_must_top_variable_error = 357;
// "," expected between the names.
constexpr std::int32_t comma_expected_between_names_error = 358;
// Coefficient vanishes modulo the modulus.
constexpr std::int32_t coefficient_vanishes_modulo_modulus_error = 359;
// ">" not allowed while fields exist.
constexpr std::int32_t greater_not_allowed_while_fields_exist_error = 360;
// ">" not allowed with an array name and a relation.
constexpr std::int32_t greater_not_allowed_array_name_relation_error = 361;
// ">" not allowed at this prompt.
constexpr std::int32_t greater_not_allowed_prompt_error = 362;
// "*" not allowed before an adjoined variable.
constexpr std::int32_t star_not_allowed_before_adjoined_variable_error = 363;
// Number of primes must be at least 2.
constexpr std::int32_t number_primes_must_least_2_error = 364;
// The sparse entry would become zero.
constexpr std::int32_t sparse_entry_would_become_zero_error = 365;
// Count must not be negative.
constexpr std::int32_t count_must_not_negative_error = 366;
// Count must be positive.
constexpr std::int32_t count_must_positive_error = 367;
// Exponent overflow: more than 32 bits. (Tavrin's own code)
constexpr std::int32_t exponent_overflow_error = 368;
// A cell of the first column has no value.
constexpr std::int32_t cell_first_column_has_no_value_error = 369;
// Sparse array with an empty row.
constexpr std::int32_t sparse_array_empty_row_error = 370;
// A sparse sort is already under way.
constexpr std::int32_t sparse_sort_already_under_way_error = 371;
// Sparse array too large to sort.
constexpr std::int32_t sparse_array_too_large_sort_error = 372;
// Set operation must be 0, 1 or 2.
constexpr std::int32_t set_operation_must_0_1_2_error = 373;
// File cannot be opened.
constexpr std::int32_t file_cannot_opened_error = 374;
// Sparse matrix too large: more than 50000 rows.
constexpr std::int32_t sparse_matrix_too_large_error = 375;
// "+" or "-" expected after "e".
constexpr std::int32_t plus_minus_expected_after_e_error = 376;
// Not available in this arithmetic mode.
constexpr std::int32_t not_in_this_arithmetic_error = 377;

}  // namespace tavrin
