// The least common multiple of the integer denominators of a matrix's
// entries (the factor that clears them).
#include <cstdint>

#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/integer_gcd.h"
#include "numbers/node_handles.h"
#include "numbers/poly_nodes.h"
#include "poly/poly_measures.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "arrays/sparse_store.h"
#include "matrix/row_echelon.h"

namespace tavrin {

namespace {

// l := lcm(l, |c|) for the integer denominator c of v, when v has one: a
// rational number's denominator, or the numeric coefficient of a
// single-term denominator; other values leave l alone.
void fold_denominator(imptr l, quoly v) {
  if (v == nullptr || v->numb || v->denom == nullptr) return;
  if (!v->rat && !monomial(v->denom)) return;
  nodes::ScratchNumber c;
  abs_val_num(leading_coef(v->denom)->ncoef, c.get());
  nodes::ScratchNumber g;
  binary_gcd(l, c.get(), g.get());
  if (!is_longint(g.get(), 1)) {
    nodes::ScratchNumber quot;
    nodes::ScratchNumber rem;
    divide(l, g.get(), quot.get(), rem.get());
    num_assign(quot.get(), l);
  }
  nodes::ScratchNumber prod;
  fast_mult(l, c.get(), prod.get());
  num_assign(prod.get(), l);
}

}  // namespace

void findlcm(quolyptr n, sparseptr spar, std::int32_t start, std::int32_t total_rows,
             std::int32_t target_rows, std::int32_t cols) {
  nodes::ScratchNumber l;
  setvalue(1, l.get());
  if (spar == nullptr) {
    for (std::int32_t c = 0; c < cols; ++c)
      for (std::int32_t r = 0; r < target_rows; ++r) {
        quolyptr cell = arp_cell(start + c * total_rows + r);
        if (*cell == nullptr) {
          quoly_set(0, cell);
          count_uninitialised(nullptr);
          continue;
        }
        fold_denominator(l.get(), *cell);
      }
  } else {
    for (std::int32_t r = 1; r <= total_rows; ++r)
      for (colm_ptr e = *sparse_row(spar, r); e != nullptr; e = e->next)
        fold_denominator(l.get(), e->val);
  }
  quoly_set(0, n);
  num_assign(l.get(), (*n)->ncoef);
}

}  // namespace tavrin
