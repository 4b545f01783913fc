// The two routes of the integer Hermite and Smith forms and the choice
// between them; internal to the normal forms of matrix/.
//
// The Euclidean elimination (normal_forms.h) gives the forms users have
// always had, but its entries can swell past any size. It runs under an
// entry budget (EntryBudget) for the matrices it may finish; one that
// exceeds it is put back as it was and goes to the bounded route
// (hermite_modular.h), as do at once the sizes that certainly exceed it.
// Either way a failure part-way (an error, an abandoned interrupt) leaves
// the user's matrix as it was.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "core/records.h"

namespace tavrin::form_routes {

// The transforms asked for: want[0..3] with the dense work arrays alpha,
// beta, alphinv, betinv, or the sparse auxspar[0..3].
struct Outputs {
  const bool* want;
  workptr w[4];
  sparseptr* aux;
  std::int32_t rows, cols;
  bool any() const { return want != nullptr && (want[0] || want[1] || want[2] || want[3]); }
};

// The form of q (Hermite, or Smith when smith) with its rank into *n:
// `euclid` (the elimination, which starts the transforms as identities) or
// the bounded route, as the size, the entries and the thresholds
// normal_form_direct_side, normal_form_direct_bits, normal_form_budget_bits
// and normal_form_cells decide. modulus: the pseudo-determinant of a form
// modulo it, or nil; the Smith form modulo it by the bounded route is the
// exact one with every invariant factor d made gcd(d, modulus) (modulus
// itself 0, and not counted in *n), as the elimination makes it; the
// Hermite form modulo it is the elimination's alone. q: its entries integer
// numbers. reads: those thresholds
void run(quolyptr n, arrptr q, const Outputs& out, bool smith, imptr modulus,
         const std::function<void()>& euclid);

// log2 of the Hadamard bound of q's largest minors: the norms of its
// min(rows, cols) longest columns, from the entries' lengths (from above).
double hadamard_bits(arrptr q, std::int32_t rows, std::int32_t cols);

// The entry budget in limbs for a matrix of hadamard_bits hbits:
// normal_form_budget_bits times hbits, at most 30,000.
std::int32_t budget_limbs(double hbits);

}  // namespace tavrin::form_routes
