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
// `euclid` (the elimination, which starts the transforms as identities) or,
// when bounded_ok, the bounded route, as the size, the entries and the
// thresholds normal_form_direct_side, normal_form_sparse_fill,
// normal_form_budget_bits(_large) and normal_form_cells decide. q: its entries
// integer numbers. reads: those thresholds
void run(quolyptr n, arrptr q, const Outputs& out, bool smith, bool bounded_ok,
         const std::function<void()>& euclid);

// The entry budget in limbs for q: normal_form_budget_bits (above the
// direct side normal_form_budget_bits_large) times the bits of the
// Hadamard bound of its largest minors, at most 30,000.
std::int32_t budget_limbs(arrptr q, std::int32_t rows, std::int32_t cols);

}  // namespace tavrin::form_routes
