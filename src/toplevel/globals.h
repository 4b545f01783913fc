// The state the top level owns and every arithmetic routine reads: the
// ground ring, the settings and tuning values, the constant tokens and the
// constant numbers. Defined once, in globals.cpp.
//
// Ground ring: rational arithmetic is flotemode, modularmode and lintmode all
// false; floating arithmetic is flotemode true; modular arithmetic is
// modularmode and lintmode true (finf marks the fields of characteristic 2,
// modulus 256 or 65536). Number operations test the flags in the order
// floating, modular, word, big integer. Tavrin starts in rational arithmetic.
#pragma once

#include <cstdint>

#include "numbers/records.h"

namespace tavrin {

// ---- Ground ring -----------------------------------------------------------
extern bool flotemode;          // floating-point mode: values in `flote`
extern bool lintmode;           // word mode: values in `lint` (on with modularmode)
extern bool modularmode;        // `lint` holds a residue 0 <= lint < modulus
extern bool finf;               // characteristic-2 field (modulus 256 or 65536)
extern std::int32_t modulus;    // the modulus; -1 in rational arithmetic
extern bool smallmodulus;       // modulus < 65535: 32-bit products suffice
extern std::int32_t half_modulus;  // modulus div 2, bound of symmetric residues
extern std::int32_t two28_mod;  // 2^28 mod modulus
extern bool mod_is_prime;       // every non-zero residue is invertible
extern std::int16_t mod_is_changed;  // open check_modular brackets
extern bool laurent;            // negative exponents are allowed

// Adjoined variables, top variable (depth 1) first; nil when none.
extern polypt polynames;
extern polypt pseudo_polynames;  // polynames when relations are in force, else nil
inline constexpr polypt nilpol = nullptr;  // passed where no level applies
extern std::int32_t number_polys;
constexpr int max_polys = 150;
extern char polyvar[max_polys][11];  // names of the variables, ascending byte order
extern std::int16_t field_depth;    // first depth of the bottom field levels; 0: none
extern bool modout_above_field;     // a level above the field has a relation

// ---- Settings and tuning values --------------------------------------------
extern std::int32_t poly_cutoff;      // product cut-off (20; 40 after a ring change)
extern std::int32_t div_poly_cutoff;  // 6 rational, 25 modular
extern std::int32_t fast_gcd_size;    // 25000: capacity of the dense arrays
extern std::int32_t fast_mult_cut;    // 10
extern std::int32_t multcut;          // 16: Karatsuba threshold of big integers
extern std::int32_t sqcut;            // 16
extern bool pos_mod;                  // remainders are made non-negative
extern bool try_rat;
extern bool alt_form_display;         // residues shown in the symmetric range
extern bool verbose;
extern bool windy;
extern std::int32_t warn_cnt;         // warnings printed in the current command
extern bool command_int;              // a user interrupt is honoured now
extern bool danger_ok;                // interrupts may act inside delicate sections
extern std::int32_t alg_c_count;
extern std::int32_t original_depth;
extern std::int32_t depthnum;         // 2
extern std::int32_t massnum;          // 3
extern std::int32_t deglist[151];
extern bool extra_line;               // an extra line end around output
extern std::int16_t dispcutoff;       // display width, 76

// ---- Command levels and the progress trace ----------------------------------
extern bool errorpush;            // "&e": errors open nested levels
extern std::int32_t levelcount;   // 1 at the top level, at most 9
extern std::int32_t statcount;    // depth of user-function evaluations
extern std::int16_t dumpitt_level;   // nesting depth of progress output
extern std::int16_t dumpitt_length;  // characters on the current progress line
extern std::int32_t suppressor;      // product of enclosing progress loop counts

// ---- Tokens ---------------------------------------------------------------
extern tokentipe token;      // the current token of the scanner
extern tokentipe blank;      // " "
extern tokentipe quotsign;   // "/"
extern tokentipe factsign;   // "!"
extern tokentipe semicolon;  // ";"

// ---- Constant numbers and tables --------------------------------------------
extern number number_1;      // 1: one limb, lint 1, flote 1.0
extern number number_m1;     // -1
extern number tens_base;     // 10^8
extern number num_2_14;      // 2^14
extern std::int32_t ones[32];  // ones[k] = 2^k - 1
extern double two_thirty1;   // 2147483647.0
extern double random_ext2;   // last raw value of the random generator; 1.0 at start

// ---- Memory accounting ------------------------------------------------------
extern std::int32_t numbersize, numnodesize, polynodesize, quolysize;
extern std::int32_t size_data_strucs;
extern std::int32_t initial_memory;  // start-up file's megabytes * 225000

// Builds the constant numbers (needs the limb pool). Called once at start-up.
void init_number_constants();

}  // namespace tavrin
