// GCDs of one-variable polynomials over the integers held as IntPoly
// (poly/intpoly.h): images modulo word primes below 2^31 through the
// residue kernels of dense/, combined by the Chinese remainder theorem
// until they stop changing, and proved by exact division.
#pragma once

#include <cstdint>
#include <vector>

#include "core/ring.h"
#include "poly/intpoly.h"

namespace tavrin {

// Residues modulo one prime p < 2^31 (0 .. p - 1) by a dot product of the
// words with the powers 2^(64 j) mod p, kept and extended as longer
// magnitudes come: the same values as words_mod and intpoly_residues.
class WordResidues {
 public:
  explicit WordResidues(std::uint32_t p);
  // |x| mod p for a magnitude of n words.
  std::uint32_t of(const IntPoly::word* x, std::int32_t n);
  // The residues of a's coefficients, entry i that of x^i, top zero
  // entries dropped.
  std::vector<std::int32_t> of(const IntPoly& a);

 private:
  std::uint64_t p_, b64_;          // b64_ = 2^64 mod p
  std::vector<std::uint64_t> pw_;  // pw_[j] = 2^(64 j) mod p
};

// The GCD as polygcd gives it over the integers: when a or b is a
// constant, the GCD of the magnitudes of all their coefficients (a number,
// 1 for two zero contents); otherwise the GCD of the two contents times the
// primitive GCD with a positive leading coefficient. a, b not zero.
IntPoly intpoly_gcd(const IntPoly& a, const IntPoly& b);

// The GCD with a positive leading coefficient of primitive a and b (deg a,
// deg b >= 1): the modular method above, where an image of b's whole
// degree first has b tried as the GCD by one exact division of a.
IntPoly intpoly_primitive_gcd(const IntPoly& a, const IntPoly& b);

// polygcd's answer for u and v when both are one-variable lists over big
// integers (poly/intpoly.h), in rational arithmetic without relations,
// field levels or the GCD cache: by word_onevar_gcd (below) when it
// settles them, else by intpoly_gcd from integer_gcd_limbs limbs together
// on. True with *r := the GCD (replaced). Otherwise false, nothing changed.
// u, v: kept. reads: mode flags, lookupgcd, integer_gcd_limbs,
// integer_gcd_word_degree
bool integer_onevar_gcd(poly u, poly v, poly* r);
// The same in `ring` (the ring in force), read instead of the mode globals.
bool integer_onevar_gcd(poly u, poly v, poly* r, const Ring& ring);

// polygcd's answer for u and v, as intpoly_gcd gives it, for one-variable
// lists of degree 1 .. integer_gcd_word_degree (at most 128) whose
// coefficients have at most two limbs (below 2^56), neither a single term
// nor both two terms, in single words: the
// GCD of one image modulo a prime near 2^62, proved by division modulo that
// prime under a bound (intpoly_gcd_words.cpp). True with *r := the GCD
// (replaced); false, nothing changed, for other operands or when the proof
// fails. u, v: kept. reads: integer_gcd_word_degree
bool word_onevar_gcd(poly u, poly v, poly* r);

// What the modular method did, counted since start (a test and benchmark
// hook).
struct intpoly_gcd_counts {
  long runs;           // intpoly_primitive_gcd calls past the trivial cases
  long images;         // image GCDs modulo a prime
  long coprime;        // settled by an image of degree 0
  long divisions;      // candidates tried by exact division
  long restarts;       // runs restarted after an image of lower degree
  long word_runs;      // pairs settled by word_onevar_gcd
  long word_declined;  // pairs word_onevar_gcd read but could not prove
};
extern intpoly_gcd_counts intpoly_gcd_stats;

// Test hook: when not nil, may replace the k-th prime (k from 0 in each
// call) the modular method is about to use (an unlucky prime can be
// planted this way).
extern std::int32_t (*intpoly_prime_hook)(std::int32_t k, std::int32_t p);

}  // namespace tavrin
