// Row and column operations on sparse matrices, and the integer Euclidean
// row step of the sparse Hermite computation (see row_ops.h).
//
// Every row addition goes through one merge of two column-sorted rows
// (merge_into_row); the column additions reuse its single-entry step. No
// operation leaves a zero entry.
#include <cstdint>

#include "core/errors.h"
#include "core/globals.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/bigint_multiply.h"
#include "numbers/bigint_wide.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_quot.h"
#include "arrays/sparse_store.h"
#include "matrix/row_ops.h"
#include "matrix/sparse_merge.h"

namespace tavrin {

namespace {

using sparse_merge::insert_at;
using sparse_merge::merge_into_row;
using sparse_merge::seek;

constexpr __int128 word_limit62 = __int128{1} << 62;

// One entry of a column addition: column k of the row at head += the value
// make() forms when column q is present there.
template <class OnMatch, class Make>
void merge_one(colm_ptrptr head, std::int32_t k, std::int32_t q, OnMatch on_match, Make make) {
  // One walk along the row: the first of the two columns, then on to the other.
  colm_ptrptr link = k < q ? seek(head, k) : nullptr;
  colm_ptrptr qs = seek(link != nullptr ? link : head, q);
  if (*qs == nullptr || (*qs)->coord != q) return;
  colm_ptr src = *qs;
  if (link == nullptr) link = seek(k > q ? &src->next : head, k);
  if (*link != nullptr && (*link)->coord == k) {
    if (!on_match(*link, src)) free_colm(link);
  } else if (quoly v = make(src); v != nullptr) {
    insert_at(link, k, v);
  }
}

std::int32_t residue(colm_ptr e) { return e->val->ncoef->lint; }

quoly residue_value(std::int32_t p) {
  quoly v = nullptr;
  quoly_set(0, &v);
  v->ncoef->lint = p;
  return v;
}

std::int32_t mod_product(std::int32_t f, std::int32_t x) {
  return modmult(static_cast<std::uint32_t>(f), static_cast<std::uint32_t>(x));
}

// The residue step of the modular additions: entry += factor * src.
auto mod_match(std::int32_t factor) {
  return [factor](colm_ptr e, colm_ptr s) {
    const std::int32_t p = mod_product(factor, residue(s));
    const std::int32_t sum =
        mod_add(static_cast<std::uint32_t>(residue(e)), static_cast<std::uint32_t>(p), modulus);
    e->val->ncoef->lint = sum;
    return sum != 0;
  };
}
auto mod_make(std::int32_t factor) {
  return [factor](colm_ptr s) -> quoly {
    const std::int32_t p = mod_product(factor, residue(s));
    return p == 0 ? nullptr : residue_value(p);
  };
}

// Integers of at most two limbs in rational arithmetic: *f, *x := their
// values, for the exact step's word path. The sum of a product of two
// such and a third stays within 2^113.
bool small_integer(quoly v, std::int64_t* x) {
  return v->numb && !v->journalled && small_number_value(v->ncoef, x);
}
bool word_arithmetic_off() { return !modularmode && !lintmode && !flotemode; }

// The exact step: entry += factor * src.
auto exact_match(quoly factor) {
  std::int64_t f = 0;
  const bool small = sparse_word_steps != 0 && word_arithmetic_off() && small_integer(factor, &f);
  return [factor, f, small](colm_ptr e, colm_ptr s) {
    if (std::int64_t x = 0, y = 0;
        small && small_integer(e->val, &x) && small_integer(s->val, &y)) {
      const __int128 v = x + static_cast<__int128>(f) * y;
      if (v < word_limit62 && v > -word_limit62) {
        set_word_number(static_cast<std::int64_t>(v), e->val->ncoef);
        return v != 0;
      }
    }
    quoly p = nullptr;
    quoly_mult(factor, s->val, &p);
    best_quoly_add(&e->val, p);  // uses p up
    return !quoly_iszero(e->val);
  };
}
auto exact_make(quoly factor) {
  std::int64_t f = 0;
  const bool small = sparse_word_steps != 0 && word_arithmetic_off() && small_integer(factor, &f);
  return [factor, f, small](colm_ptr s) -> quoly {
    if (std::int64_t y = 0; small && small_integer(s->val, &y)) {
      const __int128 v = static_cast<__int128>(f) * y;
      if (v == 0) return nullptr;
      if (v < word_limit62 && v > -word_limit62)
        return nodes::new_number_value(new_word_number(static_cast<std::int64_t>(v)));
    }
    quoly p = nullptr;
    quoly_mult(factor, s->val, &p);
    if (quoly_iszero(p)) free_quoly(&p);
    return p;
  };
}

// Every entry of a row (through its head link) changed by f; entries f
// answers false for are removed.
template <class F>
void each_in_row(colm_ptrptr link, F f) {
  while (*link != nullptr) {
    if (f(*link))
      link = &(*link)->next;
    else
      free_colm(link);
  }
}

// The entry of column k in rows 1..rows changed by f (removed on false).
template <class F>
void each_in_col(sparseptr sp, std::int32_t first, std::int32_t rows, std::int32_t k, F f) {
  for (std::int32_t r = first; r <= rows; ++r) {
    colm_ptrptr link = seek(sparse_row(sp, r), k);
    if (*link != nullptr && (*link)->coord == k && !f(*link)) free_colm(link);
  }
}

}  // namespace

void sparse_mult_col(sparseptr sp, quoly factor, std::int32_t rows, std::int32_t k) {
  each_in_col(sp, 1, rows, k, [&](colm_ptr e) {
    fast_quoly_mult(&e->val, &factor);
    return !quoly_iszero(e->val);
  });
}

void sparse_divide_row(sparseptr sp, quoly factor, std::int32_t k) {
  each_in_row(sparse_row(sp, k), [&](colm_ptr e) {
    fast_quoly_quot(&e->val, &factor, false);
    return !quoly_iszero(e->val);
  });
}

void sparse_mod_mult_col(sparseptr sp, std::int32_t factor, std::int32_t rows, std::int32_t k) {
  each_in_col(sp, 1, rows, k, [&](colm_ptr e) {
    e->val->ncoef->lint = mod_product(residue(e), factor);
    return residue(e) != 0;
  });
}

void sparse_mod_divide_row(sparseptr sp, std::int32_t factor, std::int32_t k) {
  if (factor == 0) {
    tavrin_error("bad seca.", true);
    return;
  }
  std::int32_t inv = 0;
  mod_inverse(factor, &inv);
  each_in_row(sparse_row(sp, k), [&](colm_ptr e) {
    e->val->ncoef->lint = mod_product(residue(e), inv);
    return residue(e) != 0;
  });
}

void sparse_mod_col_add(sparseptr sp, std::int32_t factor, std::int32_t rows, std::int32_t k,
                        std::int32_t q) {
  for (std::int32_t r = 1; r <= rows; ++r)
    merge_one(sparse_row(sp, r), k, q, mod_match(factor), mod_make(factor));
}

void sparse_mod_row_add(sparseptr sp, std::int32_t factor, std::int32_t k, std::int32_t q) {
  colm_ptr src = *sparse_row(sp, q);
  if (src == nullptr) return;
  merge_into_row(sparse_row(sp, k), src, mod_match(factor), mod_make(factor));
}

void sparse_row_add(sparseptr sp, quoly factor, std::int32_t k, std::int32_t q) {
  colm_ptr src = *sparse_row(sp, q);
  if (src == nullptr) return;
  merge_into_row(sparse_row(sp, k), src, exact_match(factor), exact_make(factor));
}

void sparse_col_add(sparseptr sp, quoly factor, std::int32_t rows, std::int32_t k, std::int32_t q) {
  const auto match = exact_match(factor);
  const auto make = exact_make(factor);
  for (std::int32_t r = 1; r <= rows; ++r) merge_one(sparse_row(sp, r), k, q, match, make);
}

void sparse_sub_multiple(colm_ptrptr link, colm_ptr src, quoly factor) {
  merge_into_row(
      link, src,
      [factor](colm_ptr e, colm_ptr s) {
        quoly p = nullptr;
        quoly_mult(factor, s->val, &p);
        best_quoly_sub(&e->val, p);  // uses p up
        return !quoly_iszero(e->val);
      },
      [factor](colm_ptr s) -> quoly {
        quoly p = exact_make(factor)(s);
        if (p == nullptr) return nullptr;
        quoly_inplace(p);
        p->next = nullptr;
        return p;
      });
}

void sp_row_neg(std::int32_t j, sparseptr sp) {
  for (colm_ptr e = *sparse_row(sp, j); e != nullptr; e = e->next) quoly_inplace(e->val);
}

void sp_col_neg(std::int32_t j, std::int32_t start, std::int32_t rows, sparseptr sp) {
  each_in_col(sp, start, rows, j, [](colm_ptr e) {
    quoly_inplace(e->val);
    return true;
  });
}

// ---- Integer reduction --------------------------------------------------------------------------

namespace {

bool num_is_zero(imptr x) {
  return x->size == 0 || x->head == nullptr || (x->size == 1 && x->head->value == 0);
}
bool num_nonpositive(imptr x) { return x->head == nullptr || x->head->value <= 0; }

// Step 1 of both reductions: m := m rem pseudodet when |m| >= |pseudodet|.
bool reduce_step1(imptr m, imptr pseudodet) {
  if (abs_larger(pseudodet, m)) return false;
  nodes::ScratchNumber q;
  divide(m, pseudodet, q.get(), m);
  return true;
}

// Shared state of one sparse_int_rowred call.
struct sparse_int_rowred_EnvRec {
  bool wantmod, wanthalf, wantsmallest;
  imptr pseudodet, halfpseudo;
  std::int32_t* k2;
  imptr key = nullptr;  // smallest |value| met so far (not owned)
};

void check_wantmod_smallest(sparse_int_rowred_EnvRec& env, imptr m, std::int32_t column) {
  if (env.wantmod) reduce_it(m, env.pseudodet, env.halfpseudo, env.wanthalf);
  if (env.wantsmallest && !num_is_zero(m) && abs_larger(env.key, m)) {
    *env.k2 = column;
    env.key = m;
  }
}

void careful_check(sparse_int_rowred_EnvRec& env, imptr m, std::int32_t column) {
  bool shrunk = false;
  if (env.wantmod) reduce_and_tell(m, env.pseudodet, env.halfpseudo, env.wanthalf, &shrunk);
  if (shrunk && env.wantsmallest && !num_is_zero(m) && abs_larger(env.key, m)) {
    *env.k2 = column;
    env.key = m;
  }
}

}  // namespace

void reduce_it(imptr m, imptr pseudodet, imptr halfpseudo, bool wanthalf) {
  reduce_step1(m, pseudodet);
  if (!wanthalf || abs_larger(halfpseudo, m)) return;
  // |m| = halfpseudo with pseudodet odd is already the least residue:
  // moving it would lengthen it, and the eliminations take a remainder
  // that does not shrink for one that leaves nothing behind.
  if ((pseudodet->tail->value & 1) != 0 && !abs_larger(m, halfpseudo)) return;
  if (num_nonpositive(m)) {
    fastsum(m, pseudodet);
    if (equal(m, halfpseudo)) fastdiff(m, pseudodet);
  } else {
    fastdiff(m, pseudodet);
  }
}

void reduce_and_tell(imptr m, imptr pseudodet, imptr halfpseudo, bool wanthalf, bool* shrunkit) {
  if (reduce_step1(m, pseudodet)) *shrunkit = true;
  if (!wanthalf || !abs_larger(m, halfpseudo)) return;
  if (num_nonpositive(m))
    fastsum(m, pseudodet);
  else
    fastdiff(m, pseudodet);
  *shrunkit = true;
}

void sparse_int_rowred(sparseptr, colm_ptrptr t, colm_ptrptr u, std::int32_t, std::int32_t k,
                       const std::int32_t* tg, std::int32_t, std::int32_t* j2, std::int32_t* k2,
                       std::int32_t* val2, bool wantsmallest, imptr factor, bool wantmod,
                       bool wanthalf, imptr pseudodet, imptr halfpseudo) {
  *k2 = -1;
  *val2 = 0;
  colm_ptrptr uk = seek(u, k);
  if (*uk == nullptr || (*uk)->coord != k) {
    setvalue(0, factor);
    return;
  }
  colm_ptrptr tk = seek(t, k);
  if (*tk == nullptr || (*tk)->coord != k) {
    tavrinerror("t is nil in sparse_int_rowred, 2.");
    setvalue(0, factor);
    return;
  }
  {
    nodes::ScratchNumber rem;
    divide((*uk)->val->ncoef, (*tk)->val->ncoef, factor, rem.get());
  }
  // A zero quotient is an ordinary step: the pivot is not the least entry
  // of its column, row u stays as it is and (wantsmallest) offers its own
  // smaller entry as the next pivot.
  in_place_neg(factor);
  sparse_int_rowred_EnvRec env{wantmod, wanthalf, wantsmallest, pseudodet, halfpseudo, k2};
  if (wantsmallest) env.key = (*tk)->val->ncoef;
  nodes::ScratchNumber n2;
  merge_into_row(
      u, *t,
      [&](colm_ptr e, colm_ptr s) {
        fast_mult(factor, s->val->ncoef, n2.get());
        fastsum(e->val->ncoef, n2.get());
        check_wantmod_smallest(env, e->val->ncoef, s->coord);
        if (!num_is_zero(e->val->ncoef)) return true;
        if (*k2 == s->coord && env.key == e->val->ncoef) *k2 = -1;
        return false;
      },
      [&](colm_ptr s) -> quoly {
        fast_mult(factor, s->val->ncoef, n2.get());
        careful_check(env, n2.get(), s->coord);
        if (num_is_zero(n2.get())) return nullptr;
        quoly v = nullptr;
        quoly_set(0, &v);
        num_assign(n2.get(), v->ncoef);
        if (*k2 == s->coord) env.key = v->ncoef;
        return v;
      });
  if (*k2 >= 0) {
    *j2 = *tg;
    *val2 =
        env.key->size == 1 && (env.key->head->value == 1 || env.key->head->value == -1) ? -1 : 1;
  }
}

}  // namespace tavrin
