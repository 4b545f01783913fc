// The greatest integer and the absolute value of values and of sparse
// matrices, and integer remainder and quotient over sparse matrices
// (contracts in quoly_great_abs.h).
#include "quoly/quoly_great_abs.h"

#include <cmath>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/bigint_divide.h"
#include "poly/poly_add.h"
#include "poly/poly_divide.h"
#include "poly/poly_in_place.h"
#include "poly/poly_upcalls.h"
#include "quoly/quoly_impl.h"
#include "quoly/quoly_upcalls.h"

namespace tavrin {

using detail::become_number;
using detail::number_if_constant;
using detail::one_number;
using nodes::ScratchNumber;

namespace {

// n made non-negative in place: fabsl in floating mode, the wrapped
// negation of a negative word, the negated limbs of a negative big integer.
void number_abs_inplace(imptr n) {
  if (flotemode) {
    n->flote = std::fabs(n->flote);
  } else if (lintmode) {
    if (n->lint < 0) n->lint = static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(n->lint));
  } else if (n->size > 0 && n->head->value < 0) {
    in_place_neg(n);
  }
}

// A long double truncated toward zero: through a 32-bit integer inside
// +-2^31, by truncl outside.
long double truncate_flote(long double x) {
  constexpr long double limit = 2147483648.0L;
  if (x > -limit && x < limit) return static_cast<long double>(static_cast<std::int32_t>(x));
  return std::trunc(x);
}

// The number held by a rational number is a/b: the floor as a new number.
imptr rational_floor(imptr a, imptr b) {
  ScratchNumber quot;
  ScratchNumber rem;
  divide(a, b, quot.get(), rem.get());
  if (a->head->value < 0) {
    imptr one = one_number();
    sub(quot.get(), one, quot.get());
    free_imag(&one);
  }
  return quot.release();
}

// The sparse matrix's row r (from 1): the link of its first entry.
colm_ptr* row_link(sparseptr frames, std::int32_t r) {
  std::int32_t index = r - 1;
  while (index >= sparse_frame_rows) {
    frames = frames->next;
    index -= sparse_frame_rows;
  }
  return &frames->indx[index];
}

}  // namespace

// ---- Values -----------------------------------------------------------------------------------

void quoly_great_int(quolyptr q) {
  quoly v = *q;
  if (flotemode) {
    if (!v->numb) {
      error(not_in_this_arithmetic_error, &greatintsign);
      return;
    }
    v->ncoef->flote = truncate_flote(v->ncoef->flote);
    return;
  }
  if (modularmode) return;
  if (lintmode) {
    error(word_arithmetic_error, &greatintsign);
    return;
  }
  if (!detail::is_rational(v)) return;
  become_number(v, rational_floor(v->numer->ncoef, v->denom->ncoef));
}

void poly_abs(poly p) { detail::for_each_number(p, number_abs_inplace); }

void quoly_abs(quoly q) {
  if (modularmode) return;
  if (q->numb) {
    number_abs_inplace(q->ncoef);
    return;
  }
  poly_abs(q->numer);
  if (q->denom != nullptr) {
    poly_abs(q->denom);
    check_quoly(&q, false);
  } else {
    number_if_constant(q);
  }
}

// ---- Sparse matrices --------------------------------------------------------------------------

void sparse_great_abs(sparseptr* spar, std::int32_t rows, bool free, bool abs) {
  if (!free) {
    sparseptr copy = nullptr;
    copy_sparse(spar, &copy, rows, false);
    if (copy == nullptr) return;  // no copy: the shared matrix stays as it is
    *spar = copy;
  }
  // Applies the scalar rule to every entry of rows 1..rows, frame by frame.
  auto basic = [&] {
    for (std::int32_t r = 1; r <= rows; ++r) {
      colm_ptr* link = row_link(*spar, r);
      while (*link != nullptr) {
        if (abs) {
          quoly_abs((*link)->val);
          link = &(*link)->next;
          continue;
        }
        quoly_great_int(&(*link)->val);
        if (quoly_iszero((*link)->val)) {
          free_colm(link);
        } else {
          link = &(*link)->next;
        }
      }
    }
  };
  basic();
}

void sparse_mod_or_div(sparseptr* spar, quoly n2, std::int32_t row, bool free, char which) {
  if (free) {
    for (std::int32_t r = 1; r <= row; ++r) {
      colm_ptr* link = row_link(*spar, r);
      while (*link != nullptr) {
        quoly_mod_or_div((*link)->val, n2, &(*link)->val, which);
        if (quoly_iszero((*link)->val)) {
          free_colm(link);
        } else {
          link = &(*link)->next;
        }
      }
    }
    return;
  }
  // A new matrix, one frame per 2048 rows, chained as in the store.
  sparseptr first = nullptr;
  sparseptr* frame_link = &first;
  const std::int32_t frames = row <= 0 ? 1 : (row - 1) / sparse_frame_rows + 1;
  for (std::int32_t f = 0; f < frames; ++f) {
    sparseptr s = nullptr;
    newsparse(&s);
    for (auto& head : s->indx) head = nullptr;
    s->notdone = false;
    s->next = nullptr;
    *frame_link = s;
    frame_link = &s->next;
  }
  for (std::int32_t r = 1; r <= row; ++r) {
    colm_ptr* out = row_link(first, r);
    for (colm_ptr c = *row_link(*spar, r); c != nullptr; c = c->next) {
      quoly result = nullptr;
      quoly_mod_or_div(c->val, n2, &result, which);
      if (result == nullptr || quoly_iszero(result)) {
        free_quoly(&result);
        continue;
      }
      colm_ptr e = nullptr;
      newcolm(&e);
      e->coord = c->coord;
      e->val = result;
      e->next = nullptr;
      *out = e;
      out = &e->next;
    }
  }
  *spar = first;
}

}  // namespace tavrin
