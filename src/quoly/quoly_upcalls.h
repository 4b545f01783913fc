// Routines of the sparse store above this folder that the entry-wise
// operations on sparse matrices call; defined there. This is their one
// declaration: each owner's header includes this one and keeps the
// contract, named beside each declaration below.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin {

// *t := a copy of the first dim rows of *s (negated copies when neg).
// Contract: matrix/sparse_copy.h.
void copy_sparse(sparseptr* s, sparseptr* t, std::int32_t dim, bool neg);
// Unlinks the entry at the link *t, frees its value and the entry; *t then
// holds the entry that followed. Contract: arrays/sparse_store.h.
void free_colm(colm_ptrptr t);

}  // namespace tavrin
