// "Chpoly": the characteristic polynomial det(a - xI) of a square array in
// the top variable x. Small or symbolic matrices take the determinant of
// a - xI at once; numeric matrices of 4 to 1000 rows take r - 1 numeric
// determinants and interpolate.
#include <cstdio>
#include <cstring>
#include <numeric>
#include <optional>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/trace_level.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"
#include "poly/poly_repr.h"
#include "gcd/gcd_upcalls.h"
#include "toplevel/chdat.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "arrays/array_store.h"
#include "arrays/det_upcalls.h"
#include "arrays/sparse_store.h"
#include "matrix/int_char_poly.h"
#include "matrix/matrix_products.h"
#include "matrix/operand_keeper.h"
#include "matrix/owned_cells.h"
#include "matrix/sparse_copy.h"
#include "det/int_determ.h"
#include "det/router.h"
#include "matlang/matrix_builtins.h"
#include "matlang/matrix_expr_impl.h"

namespace tavrin {

namespace {

using matexpr::entry_op;

// A value owned for a scope.
using Owned = nodes::OwnedValue;

// o := v, the old value freed.
void reset(Owned& o, quoly v) {
  free_quoly(o.cell());
  o.q = v;
}

quoly small(std::int32_t v) {
  quoly q = nullptr;
  quoly_set_image(v, &q);
  return q;
}

// v^e for e >= 0, fresh.
quoly power_of(quoly v, std::int32_t e) {
  Owned r(small(1));
  for (std::int32_t k = 0; k < e; ++k) reset(r, entry_op('*', r.q, v));
  quoly out = r.q;
  r.q = nullptr;
  return out;
}

// (-1)^r (y - t) y^(r - 1), fresh.
quoly leading_part(std::int32_t r, quoly y, quoly t) {
  Owned diff(entry_op('-', y, t));
  Owned pw(power_of(y, r - 1));
  quoly p = entry_op('*', diff.q, pw.q);
  if (r % 2 != 0) {
    Owned pos(p);
    p = copy_of(pos.q, true);
  }
  return p;
}

// The basis polynomials: the table for m <= 37 (read once a variable exists;
// an entry the table lacks is computed).
void table_basis(std::int32_t m, std::int32_t i, quolyptr w) {
  if (m > pol_rows - 1 || pol[m][i] == nullptr) {
    compute_char_poly(m, i, w);
    return;
  }
  free_quoly(w);
  quoly_assign(pol[m][i], w);
}

// ---- The basis modulo the word modulus ---------------------------------------
// The residue of a number held in limbs (whatever the mode).
std::int64_t limb_residue(imptr n) {
  std::int64_t r = 0;
  for (numptr l = n->head; l != nullptr; l = l->next)
    r = (r * (std::int64_t{1} << 28) + l->value) % modulus;
  return r < 0 ? r + modulus : r;
}

// The value sum c[e] x^e (residues, c[e] for e = 0 .. deg) in the top variable.
void residue_value(const std::vector<std::int64_t>& c, quolyptr w) {
  poly head = nullptr;
  poly* link = &head;
  for (std::size_t e = c.size(); e-- > 0;) {
    if (c[e] == 0) continue;
    poly leaf = nullptr;
    poly_set(static_cast<std::int32_t>(c[e]), &leaf);
    leaf->next = nullptr;
    if (e == 0) {
      *link = leaf;
      break;
    }
    poly t = nodes::new_term(static_cast<std::int32_t>(e), leaf);
    *link = t;
    link = &t->next;
  }
  if (head == nullptr) poly_set(0, &head);
  free_quoly(w);
  use_up_poly(&head, w);
  (*w)->next = nullptr;
}

// The basis polynomial of point i among 1 .. m modulo the word modulus
// (a prime above m): the table's value with its denominator inverted, or
// prod_{k != i} (x - k) / (i - k) beyond the table.
void modular_basis(std::int32_t m, std::int32_t i, quolyptr w) {
  const std::int64_t p = modulus;
  std::vector<std::int64_t> c;
  if (m <= pol_rows - 1 && pol[m][i] != nullptr) {
    const quoly v = pol[m][i];
    if (v->numb) {
      c.push_back(limb_residue(v->ncoef));
    } else {
      const poly num = v->numer;
      c.assign(static_cast<std::size_t>(num->numb ? 1 : num->exp + 1), 0);
      for (poly t = num; t != nullptr; t = t->next)
        c[static_cast<std::size_t>(t->numb ? 0 : t->exp)] =
            limb_residue(t->numb ? t->ncoef : t->pcoef->ncoef);
      if (v->denom != nullptr) {
        const std::int64_t inv =
            inverse_modulo(static_cast<std::uint64_t>(limb_residue(v->denom->ncoef)),
                           static_cast<std::uint32_t>(modulus));
        for (std::int64_t& e : c) e = e * inv % p;
      }
    }
  } else {
    c.assign(1, 1);
    std::int64_t s = 1;
    for (std::int32_t k = 1; k <= m; ++k) {
      if (k == i) continue;
      c.push_back(0);  // c := c * (x - k)
      for (std::size_t e = c.size() - 1; e > 0; --e) c[e] = (c[e - 1] + (p - k) * c[e]) % p;
      c[0] = (p - k) * c[0] % p;
      s = s * ((i - k + p) % p) % p;
    }
    const std::int64_t inv =
        inverse_modulo(static_cast<std::uint64_t>(s), static_cast<std::uint32_t>(modulus));
    for (std::int64_t& e : c) e = e * inv % p;
  }
  residue_value(c, w);
}

// The rows x rows dense copy of the array q in the work array w, with s
// subtracted on the diagonal (s nil: nothing). Uninitialised cells become
// 0 with the warning.
void copy_minus(arrptr q, std::int32_t rows, workptr w, quoly s) {
  const std::int64_t cells = static_cast<std::int64_t>(rows) * rows;
  for (std::int64_t k = 0; k < cells; ++k) {
    quoly v = nullptr;
    quolyptr cell = arp_cell(q->start + static_cast<std::int32_t>(k));
    if (*cell == nullptr) {
      count_uninitialised(q->name.name);
      quoly_set(0, cell);
    }
    quoly_assign(*cell, &v);
    w->stash[k] = v;
  }
  if (s == nullptr) return;
  for (std::int32_t i = 0; i < rows; ++i) {
    quolyptr d = &w->stash[static_cast<std::int64_t>(i) * rows + i];
    quoly e = entry_op('-', *d, s);
    free_quoly(d);
    *d = e;
  }
}

// Frees the cells of the work array that the router left.
void clear_cells(workptr w, std::int64_t cells) {
  for (std::int64_t k = 0; k < cells; ++k) free_quoly(&w->stash[k]);
}

}  // namespace

void combine_char_poly(quolyptr n, std::int32_t r, quoly t, quoly c0, const quoly* d,
                       void (*basis)(std::int32_t, std::int32_t, quolyptr)) {
  Owned x;
  base_quoly(&x.q, 1);
  Owned sum(small(0));
  for (std::int32_t i = 1; i <= r - 2; ++i) {
    Owned pt(small(i));
    Owned lead(leading_part(r, pt.q, t));
    Owned a(entry_op('-', d[i - 1], c0));
    Owned b(entry_op('-', a.q, lead.q));
    Owned v(entry_op('/', b.q, pt.q));
    Owned w;
    basis(r - 2, i, &w.q);
    Owned term(entry_op('*', v.q, w.q));
    reset(sum, entry_op('+', sum.q, term.q));
  }
  Owned xs(entry_op('*', x.q, sum.q));
  Owned lead(leading_part(r, x.q, t));
  Owned part(entry_op('+', xs.q, lead.q));
  free_quoly(n);
  *n = entry_op('+', part.q, c0);
}

void chpoly_builtin(builtin_func1_EnvRec* env) {
  if (polynames == nullptr) abandon(no_polynomial_variables_error, &token);
  read_command(env);
  if (env->start != -1) abandon(sub_array_not_allowed_error, &env->errorname);
  const arrptr q = env->q;
  const std::int32_t r = env->rows;
  if (r != env->cols) abandon(matrix_not_square_212_error, &env->errorname);
  if (env->keeper != nullptr) env->keeper->settle_integers(q);
  std::int32_t sparse_method = 0;
  if (std::strcmp(token.name, ",") == 0) {
    scanner(env->inf, &token, env->flag);
    free_quoly(&env->bound);
    old_expre(env->inf, &env->bound, env->flag);
    if (q->spar != nullptr) {
      if (!env->bound->numb) abandon(not_number_error, &token);
      const imptr b = env->bound->ncoef;
      sparse_method = lintmode ? b->lint : (b->head == nullptr ? 0 : b->head->value);
      free_quoly(&env->bound);
    }
  }
  if (std::strcmp(token.name, ")") != 0) abandon(close_paren_expected_error, &token);
  tokentipe chname{};
  std::snprintf(chname.name, sizeof chname.name, "Chpoly");
  if (q->spar != nullptr && sparse_method != 0 && lintmode && r >= modulus)
    abandon(sparse_chpoly_word_mode_needs_fewer_error, &chname);
  if (q->spar == nullptr && lintmode && !modularmode && !flotemode)
    abandon(word_arithmetic_error, &chname);
  scanner(env->inf, &token, env->flag);

  Owned x;
  base_quoly(&x.q, 1);
  free_quoly(env->n);
  quoly_set(1, env->n);
  if (q->spar != nullptr) {
    if (sparse_method != 0) {
      matrix_engines.sparse_chpoly(env->n, q->spar, r);
      return;
    }
    // det(a - xI) of a copy, which the router may use up: the user's matrix is never changed, so an
    // error or an interrupt meanwhile finds it as it was.
    struct OwnedCopy {
      sparseptr s = nullptr;
      std::int32_t rows;
      ~OwnedCopy() { free_sparse(&s, rows, true); }
    } copy{nullptr, r};
    copy_sparse(&q->spar, &copy.s, r, false);
    Owned minus_x(copy_of(x.q, true));
    add_to_diag(minus_x.q, copy.s, r);
    matexpr::need_work_array(&token);
    WorkArrayGuard work(&token);
    mat_invert(work.get(), work.get(), r, env->n, &copy.s, nullptr, -1, -1, -1, 0,
               {.ar_free = true, .oar_free = true, .equal = true});
    return;
  }

  matexpr::need_work_array(&token);
  WorkArrayGuard work(&token);
  workptr w = work.get();
  const std::int64_t cells = static_cast<std::int64_t>(r) * r;
  struct cells_release {
    workptr w;
    std::int64_t cells;
    ~cells_release() { clear_cells(w, cells); }
  } release{w, cells};
  copy_minus(q, r, w, nullptr);
  // A fraction is not a number cell, so in exact arithmetic every entry is an integer here, as the
  // integer determinant needs.
  bool numbers = true;
  for (std::int64_t k = 0; k < cells; ++k)
    if (!w->stash[k]->numb) numbers = false;
  const bool exact = !modularmode && !flotemode;
  // Modulo the word modulus the points 1 .. r - 2, their differences and so the basis denominators
  // must be invertible: a prime above r - 2 (in characteristic 2 they are not). A composite modulus
  // keeps the direct way, whose elimination reports a pivot it cannot invert.
  bool residues_ok = !modularmode || (!finf && mod_is_prime);
  for (std::int32_t k = 2; modularmode && residues_ok && k <= r - 2; ++k)
    residues_ok = std::gcd(k, modulus) == 1;
  if (!numbers || r < 4 || r > 1000 || !residues_ok) {
    // Integer and fractional matrices go by images there too.
    if (exact && !verbose &&
        int_char_poly(std::vector<quoly>(w->stash, w->stash + cells), r, env->n))
      return;
    clear_cells(w, cells);
    copy_minus(q, r, w, x.q);
    // Lent to the router (not given up): the cells stay ours to free.
    mat_invert(w, w, r, env->n, nullptr, nullptr, -1, -1, -1, 0, {.equal = true});
    return;
  }

  TraceLevel trace(r);
  if (verbose) dumpitt("Lagrange interpolation, degree ", r, true, true, true);
  Owned t(small(0));
  for (std::int32_t i = 0; i < r; ++i)
    reset(t, entry_op('+', t.q, w->stash[static_cast<std::int64_t>(i) * r + i]));
  set_min_cut(r);
  std::optional<InterruptHold> hold;
  if (!(env->oldm1 && danger_ok)) hold.emplace();
  // Without a bound of the caller's and without progress lines, the exact determinants are replaced
  // by the images of the whole polynomial (the same polynomial, found in one pass).
  if (exact && !verbose && env->bound == nullptr &&
      int_char_poly(std::vector<quoly>(w->stash, w->stash + cells), r, env->n))
    return;
  // A numeric determinant of the copy with `point` on the diagonal taken away; the copy is rebuilt
  // for the next point.
  auto det_at = [&](std::int32_t point, quolyptr into) {
    clear_cells(w, cells);
    Owned pt(small(point));
    copy_minus(q, r, w, point == 0 ? nullptr : pt.q);
    free_quoly(into);
    quoly_set(1, into);
    if (exact) {
      do_int_determ(env, into, point, w);
    } else {
      mat_invert(w, w, r, into, nullptr, nullptr, -1, -1, -1, 0, {.equal = true});
    }
  };
  Owned c0;
  det_at(0, &c0.q);
  OwnedCells d(static_cast<std::size_t>(r - 2));
  for (std::int32_t i = 1; i <= r - 2; ++i) {
    check_interrupt();
    det_at(i, &d.cell[static_cast<std::size_t>(i - 1)]);
  }
  combine_char_poly(env->n, r, t.q, c0.q, d.cell.data(), modularmode ? modular_basis : table_basis);
}

}  // namespace tavrin
