// Evaluation of polynomials at given values by Horner's rule.
#include "poly/poly_eval.h"

#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/ring.h"
#include "numbers/bigint.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/word_mod.h"
#include "poly/poly_add.h"
#include "poly/poly_impl.h"
#include "poly/poly_power.h"
#include "poly/poly_repr.h"

namespace tavrin {

using nodes::is_bare_leaf;

namespace {

// ---- Residues ------------------------------------------------------------------

// v^g modulo the modulus for a residue v != 0 and g >= 0; a gap of 16 or
// more is first reduced modulo modulus - 1.
std::int32_t mod_gap_power(std::int32_t v, std::int32_t g, const Ring& ring) {
  int top = 3;
  if (g >= 16) {
    g %= ring.modulus - 1;
    if (g == 0) return 1;
    top = 31;
  }
  const std::uint32_t uv = static_cast<std::uint32_t>(v);
  std::uint32_t r = 1;
  for (int b = top; b >= 0; --b) {
    r = static_cast<std::uint32_t>(modmult(r, r));
    if ((static_cast<std::uint32_t>(g) >> b) & 1u) r = static_cast<std::uint32_t>(modmult(r, uv));
  }
  return static_cast<std::int32_t>(r);
}

std::int32_t mod_eval(poly q, poly arg, const Ring& ring);

// The residue of one node of a list whose lower levels take the values arg.
std::int32_t mod_node(poly t, poly arg, const Ring& ring) {
  return t->numb ? t->ncoef->lint : mod_eval(t->pcoef, arg, ring);
}

std::int32_t mod_eval(poly q, poly arg, const Ring& ring) {
  if (is_bare_leaf(q)) return q->ncoef->lint;
  if (arg == nullptr) {
    tavrin_error("arg is NULL but q not number in mod_all_poly_eval. ", false);
    return 0;
  }
  if (arg->exp == 1) {
    tavrin_error("arg->exp = 1 in mod_all_poly_eval. ", false);
    return 0;
  }
  const std::int32_t v = arg->ncoef->lint;
  poly below = arg->next;
  if (v == 0) {
    poly last = lastnode(q);
    if (last->numb) return last->ncoef->lint;
    return last->exp == 0 ? mod_eval(last->pcoef, below, ring) : 0;
  }
  std::int32_t acc = mod_node(q, below, ring);
  std::int32_t prev = q->exp;
  for (poly t = q->next; t != nullptr; t = t->next) {
    acc = modmult(static_cast<std::uint32_t>(acc),
                  static_cast<std::uint32_t>(mod_gap_power(v, prev - t->exp, ring)));
    acc = mod_add(static_cast<std::uint32_t>(acc),
                  static_cast<std::uint32_t>(mod_node(t, below, ring)), ring.modulus);
    prev = t->exp;
  }
  if (prev > 0)
    acc = modmult(static_cast<std::uint32_t>(acc),
                  static_cast<std::uint32_t>(mod_gap_power(v, prev, ring)));
  return acc;
}

// ---- Big integers (big-integer mode in force) -------------------------------------

imptr big_copy(imptr n) {
  imptr r;
  newimag(&r);
  num_assign(n, r);
  return r;
}

// acc := acc * v^g, g >= 0.
void times_big_power(imptr acc, imptr v, std::int32_t g) {
  if (g <= 0 || acc->head->value == 0) return;
  if (g == 1) {
    fast_mult(acc, v, acc);
    return;
  }
  imptr base = big_copy(v);
  for (;;) {
    if (g & 1) fast_mult(acc, base, acc);
    g >>= 1;
    if (g == 0) break;
    fast_mult(base, base, base);
  }
  free_imag(&base);
}

imptr rat_eval(poly q, poly arg);

imptr rat_node(poly t, poly arg) { return t->numb ? big_copy(t->ncoef) : rat_eval(t->pcoef, arg); }

imptr rat_eval(poly q, poly arg) {
  if (is_bare_leaf(q)) return big_copy(q->ncoef);
  if (arg == nullptr) {
    tavrin_error("arg is NULL but q not number in rat_all_poly_eval. ", false);
    imptr z;
    newimag(&z);
    special_set(0, z);
    return z;
  }
  imptr v = arg->ncoef;
  poly below = arg->next;
  imptr acc = rat_node(q, below);
  std::int32_t prev = q->exp;
  for (poly t = q->next; t != nullptr; t = t->next) {
    times_big_power(acc, v, prev - t->exp);
    imptr term = rat_node(t, below);
    fastsum(acc, term);
    free_imag(&term);
    prev = t->exp;
  }
  times_big_power(acc, v, prev);
  return acc;
}

// ---- Polynomials -----------------------------------------------------------------

// *acc := *acc * v^g (v a value leaf; nil stands for 0 and stays nil).
void times_power(poly* acc, poly v, std::int32_t g) {
  if (*acc == nullptr || g <= 0) return;
  poly r = nullptr;
  if (g == 1) {
    scalar_by_poly(v->ncoef, *acc, &r);
  } else {
    poly pw = nullptr;
    node_assign(v, &pw);
    compute_power(&pw, g, polynames);
    scalar_by_poly(pw->ncoef, *acc, &r);
    free_poly(&pw);
  }
  free_poly(acc);
  if (poly_iszero(r)) free_poly(&r);
  *acc = r;
}

// *acc := *acc + x, both consumed (nil stands for 0).
void add_into(poly* acc, poly x) {
  if (x == nullptr) return;
  if (*acc == nullptr) {
    *acc = x;
    return;
  }
  best_poly_add(*acc, x, acc);
  if (poly_iszero(*acc)) free_poly(acc);
}

poly eval_list(poly q, poly arg, std::int32_t level, const Ring& ring);

// Some value of the list marks a variable that stays.
bool has_marker(poly arg) {
  for (; arg != nullptr; arg = arg->next)
    if (arg->exp == 1) return true;
  return false;
}

// The value of one node of a list (a leaf is copied).
poly eval_node(poly t, poly arg, std::int32_t level, const Ring& ring) {
  return t->numb ? detail::copy_node_alone(t) : eval_list(t->pcoef, arg, level - 1, ring);
}

poly eval_list(poly q, poly arg, std::int32_t level, const Ring& ring) {
  if (level < 1 && ring.field_depth == 0 && !has_marker(arg)) {
    if (ring.modular) {
      std::int32_t v = 0;
      v = mod_eval(q, arg, ring);
      if (v == 0) return nullptr;
      imptr n;
      newimag(&n);
      n->lint = v;
      return nodes::new_leaf(n);
    }
    if (!ring.lint && !ring.flote) {
      imptr n = nullptr;
      rat_all_poly_eval(q, arg, &n);
      if (n->head->value == 0) {
        free_imag(&n);
        return nullptr;
      }
      return nodes::new_leaf(n);
    }
  }
  if (is_bare_leaf(q) || arg == nullptr) return poly_iszero(q) ? nullptr : detail::copy_list(q);

  if (level > 0 || arg->exp == 1) {
    // The top variable stays; its coefficients are evaluated.
    poly below = level > 0 ? arg : arg->next;
    return detail::map_nodes(
        q, [](poly t) { return detail::copy_node_alone(t); },
        [below, level, &ring](poly c) { return eval_list(c, below, level - 1, ring); });
  }

  // Horner's rule in the top variable with the value arg.
  poly below = arg->next;
  nodes::OwnedPoly acc;
  acc.p = eval_node(q, below, level, ring);
  std::int32_t prev = q->exp;
  for (poly t = q->next; t != nullptr; t = t->next) {
    times_power(acc.cell(), arg, prev - t->exp);
    add_into(acc.cell(), eval_node(t, below, level, ring));
    prev = t->exp;
  }
  times_power(acc.cell(), arg, prev);
  poly r = acc.release();
  if (r != nullptr && !is_bare_leaf(r)) add_pad(&r, 1);  // the eliminated level
  return r;
}

}  // namespace

void all_poly_eval(poly* q, poly arg, poly* ans, std::int16_t level) {
  *ans = eval_list(*q, arg, level, Ring::current());
}

void old_all_poly_eval(poly* q, poly arg, std::int16_t level) {
  poly r = eval_list(*q, arg, level, Ring::current());
  free_poly(q);
  *q = r;
}

void mod_all_poly_eval(poly q, poly arg, std::int32_t* ans) {
  *ans = mod_eval(q, arg, Ring::current());
}

void rat_all_poly_eval(poly q, poly arg, imptr* ans) {
  BigModeGuard big;
  *ans = rat_eval(q, arg);
}

}  // namespace tavrin
