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
#include <cstdio>

#include "core/records.h"
#include "core/thresholds.h"

namespace tavrin {

// ---- Ground ring -----------------------------------------------------------
extern bool flotemode;    // floating-point mode: values in `flote`
extern bool lintmode;     // word mode: values in `lint` (on with modularmode)
extern bool modularmode;  // `lint` holds a residue 0 <= lint < modulus
extern bool finf;         // characteristic-2 field (modulus 256 or 65536)
extern bool f256;         // the field of 256 elements (finf, modulus 256)
extern bool f2t16;        // the field of 65536 elements (finf, modulus 65536)
// The word modulus and its companions change together, only through
// set_word_modulus and ModulusGuard (mode_guard.h).
extern std::int32_t modulus;  // the modulus; -1 in rational arithmetic
extern double rmodulus;       // the modulus as a floating value
extern bool smallmodulus;     // modulus < 65535 or a field of characteristic 2: 32-bit products
extern std::int32_t half_modulus;    // modulus div 2, bound of symmetric residues
extern std::int32_t two28_mod;       // 2^28 mod modulus
extern bool mod_is_prime;            // every non-zero residue is invertible
extern std::int16_t mod_is_changed;  // open check_modular brackets
extern bool laurent;                 // negative exponents are allowed

// Adjoined variables, top variable (depth 1) first; nil when none.
extern polypt polynames;
extern polypt pseudo_polynames;            // polynames when relations are in force, else nil
inline constexpr polypt nilpol = nullptr;  // passed where no level applies
extern std::int32_t number_polys;
constexpr int max_polys = 150;
extern char polyvar[max_polys][11];  // names of the variables, ascending byte order
extern std::int16_t field_depth;     // first depth of the bottom field levels; 0: none
extern bool modout_above_field;      // a level above the field has a relation

// ---- Settings (the tuning thresholds are in thresholds.h) -------------------
extern bool pos_mod;  // remainders are made non-negative
extern bool try_rat;
extern bool alt_form_display;  // residues shown in the symmetric range
extern bool verbose;
extern bool windy;
extern std::int32_t warn_cnt;  // warnings printed in the current command
extern bool command_int;       // a user interrupt is honoured now
extern bool danger_ok;         // interrupts may act inside delicate sections
extern std::int32_t alg_c_count;
extern std::int32_t original_depth;
extern std::int32_t depthnum;  // 2
extern std::int32_t massnum;   // 3
extern std::int32_t deglist[151];
extern bool extra_line;          // an extra line end around output
extern std::int16_t dispcutoff;  // display width, 76
extern std::FILE* Output;        // the display stream; standard output at start

// ---- Settings and state of the GCD and rational-function work ---------------
// Start values as the start-up sets them; the "&" commands, the set-up of
// relations and the change of ground ring change them later.
extern std::int16_t tripval;              // 20: probes of the GCD before giving up
extern bool chinhensel;                   // on: Hensel and CRT for multivariate GCDs ("&O")
extern bool hen_check;                    // on: Hensel GCD answers are checked twice ("&c")
extern bool rat_yes;                      // the fast division test inside the GCD ("&_t")
extern bool no_aux_primes2;               // on: no second auxiliary prime list
extern std::int16_t aux_num_1factor;      // 400 (300 .. 4583, "&X")
extern std::int16_t aux_num_2factor;      // 100 (10 .. 20000, "&A")
extern std::int16_t lookupgcd;            // 0: level of the GCD cache ("&C"); on when > 0
extern std::int32_t prev_modulus;         // -1
extern std::int32_t polygcd_stack_depth;  // 0
extern std::int32_t gcdmass;              // 0: size held by the GCD cache
extern std::int32_t globalpoly;           // 0: temporary variable levels in existence
// Small evaluation values of the GCD probes.
extern std::int16_t base_2_list[4];   // 0, 3, 1, 2
extern std::int16_t base_3_list[7];   // 0, 4, 1, 3, 8, 5, 2
extern std::int16_t base_7_list[21];  // 0, 8, 1, 7, 16, 9, 2, 14, 3, 10, 22, 23, 17, 24, ...
// Operation counters of the GCD and content code, reset before each statement
// and by error(). The counts grow as 32-bit words that wrap: a count that
// turns negative is reported by warning(0), which sets the three search
// counters to 200001 (their searches stay off until the next reset).
extern std::int32_t g_cutoff;    // 10: cap on g_cntcount, raised by the driver
extern std::int32_t c_cntcount;  // work of content's pair search; above 200000 it stops
extern std::int32_t a_cntcount;  // the same for the auxiliary content
extern std::int32_t d_cntcount;  // the same for the dual content
extern std::int32_t g_cntcount;  // general contents taken in the current GCD problem
extern std::int32_t c_cntdepth;  // level at which the first content of the command started
extern std::int32_t a_cntdepth;  // the same for the auxiliary content
extern std::int32_t d_cntdepth;  // the same for the dual content
extern bool integerflag;         // a real floating-point evaluation is under way
// A floating statement of a "Float" body is being run (set by the statement
// runner for each statement while integerflag is on, cleared for the exact
// statements of the body): the determinants, inverses, products and sums it
// reaches compute in floating mode. Readers: the matrix-expression evaluator.
extern bool float_statement;
extern std::int32_t dummy, ddummy;  // scratch line lengths of the display routines

// ---- Command levels and the progress trace ----------------------------------
extern bool errorpush;               // "&e": errors open nested levels
extern std::int32_t levelcount;      // 1 at the top level, at most 9
extern std::int32_t statcount;       // depth of user-function evaluations
extern std::int16_t dumpitt_level;   // nesting depth of progress output
extern std::int16_t dumpitt_length;  // characters on the current progress line
extern std::int32_t suppressor;      // product of enclosing progress loop counts

// ---- Tokens ---------------------------------------------------------------
extern tokentipe token;         // the current token of the scanner
extern tokentipe blank;         // " "
extern tokentipe quotsign;      // "/"
extern tokentipe factsign;      // "!"
extern tokentipe semicolon;     // ";"
extern tokentipe multsign;      // "*"
extern tokentipe comma;         // ","
extern tokentipe empty;         // the empty text
extern tokentipe concatsign;    // "_"
extern tokentipe logsign;       // "_"
extern tokentipe sqrtsign;      // "Sqrt"
extern tokentipe expsign;       // "^"
extern tokentipe greatintsign;  // "$"
extern tokentipe quotesign;     // "'"
extern tokentipe bulletsign;    // "#"
extern tokentipe arr_arrsign;   // "%"
extern tokentipe diag_sign;     // "Diag"
extern tokentipe sys_func_tok;  // "<F"

// ---- Constant numbers and tables --------------------------------------------
extern number number_1;        // 1: one limb, lint 1, flote 1.0
extern number number_m1;       // -1
extern number tens_base;       // 10^8
extern number num_2_14;        // 2^14
extern std::int32_t ones[32];  // ones[k] = 2^k - 1
extern double two_thirty1;     // 2147483647.0
extern double random_ext2;     // last raw value of the random generator; 1.0 at start

// ---- Tables read from the data directory at start (data_files.h) ------------
// Filled once by initialize(); read only afterwards. Tables that count from 1
// keep slot 0 unused. Their numbers' limbs are never freed.
extern number two_28[130];        // two_28[j] = (2^28)^(j+1) in base 10^8 ("pow228")
extern std::int32_t factnum[22];  // the points of the factorial table, ascending
extern number facts[22];          // facts[i] = factnum[i]!; lint 1 and 10! for i = 0, 1
constexpr int binom_entries = 1900;
// binom[off(q) + r] = binomial(3q, r) for q = 1..50, r = 1..floor(3q/2), from 1;
// entries 1..80 also carry their value in lint and flote.
extern imptr binom[binom_entries + 1];
constexpr int prime_count = 604;
extern imptr prime[prime_count + 1];    // word primes as one-limb numbers, prime[1..604]
extern number num_prod[599];            // num_prod[j] = prime[6] * ... * prime[6 + j]
extern std::int32_t invs_prod[598];     // invs_prod[j] = 1 / num_prod[j] mod prime[7 + j]
extern std::int16_t small_prime[1230];  // the primes 2 .. 9973, small_prime[1..1229]
extern std::int32_t med_prime[2467];    // the primes 17021 .. 42349, med_prime[1..2466]
extern std::int32_t big_prime[1517];    // the primes 48871 .. 65521, big_prime[1..1516]
extern std::int32_t lrgpme[2001];       // the 2000 largest primes up to 2147483629, from 1
extern std::int16_t global_list[151];   // global_list[i] = small_prime[8 + i]

// The data files, and why start-up left one unused: missing (or not
// readable), damaged (its size or checksum not what the build wrote, or its
// contents failing the readers' checks), or unchecked (the list of
// checksums missing, damaged or without it). The tables of an unused file
// stay empty; whatever would read one calls need_data_file (errors.h)
// first, or takes a route without it. Set by initialize; none at start.
enum class data_file : std::uint8_t {
  pow228,
  primelist,
  pprods,
  bprimes,
  lrgpmes,
  f256d,
  f2t16d,
  qerrs,
  chdat
};
constexpr int data_file_count = 9;
enum class data_fault : std::uint8_t { none, missing, damaged, unchecked };
extern data_fault data_file_faults[data_file_count];
inline data_fault fault_of(data_file f) { return data_file_faults[static_cast<int>(f)]; }
inline bool usable(data_file f) { return fault_of(f) == data_fault::none; }
const char* data_file_name(data_file f);  // "pow228", ..., "Qerrs", "chdat"

// The auxiliary primes of the set-up of relations, one-limb numbers in
// auxptr[1 .. aux_prime1_number]; nil and 0 until the set-up builds them.
// Read by the modular images when the coefficient field is a quotient ring.
extern imptr* auxptr;
extern std::int16_t aux_prime1_number;

// ---- Memory accounting ------------------------------------------------------
extern std::int32_t numbersize, numnodesize, polynodesize, quolysize;
extern std::int32_t size_data_strucs;
// The memory budget: the start-up file's megabytes * 225000 (100 MB when
// there is no usable figure); the total budget (totalavailablememory) is four
// times it.
extern std::int64_t initial_memory;
extern std::int64_t virtual_cut;  // initial_memory / 5

}  // namespace tavrin
