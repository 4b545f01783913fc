// Total evaluation of polynomials at values and derivatives of values
// (contracts in quoly_eval_diff.h).
#include "quoly/quoly_eval_diff.h"

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/trace_level.h"
#include "poly/poly_add.h"
#include "poly/poly_diff.h"
#include "poly/poly_upcalls.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_impl.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_power.h"
#include "quoly/quoly_quot.h"

namespace tavrin {

using detail::become_one;
using detail::become_zero;
using detail::number_copy;
using detail::number_if_constant;
using nodes::is_bare_leaf;
using nodes::new_number_value;
using nodes::OwnedValue;

namespace {

std::int32_t list_nodes(poly q) {
  std::int32_t len = 0;
  for (; q != nullptr; q = q->next) ++len;
  return len;
}

std::int32_t node_exp(poly p) { return p->numb ? 0 : p->exp; }

// The progress trace of one evaluation level, shown when verbose and windy
// are both on.
class EvalProgress : public CountingProgress {
 public:
  EvalProgress(const char* text, std::int32_t steps)
      : CountingProgress(text, steps, verbose && windy) {}
};

// *out := v^e (e >= 1) as a fresh value; v kept.
void fresh_power(quoly v, std::int32_t e, quolyptr out) {
  quoly_assign(v, out);
  if (e > 1) quoly_compute_power(out, e);
}

// The value of a node's coefficient one level down: a leaf copied, else
// its evaluation against the chain (the rest of it when this level takes
// a value).
void eval_coef(poly node, quoly arg, std::int16_t level, std::int16_t skip, quolyptr c) {
  if (node->numb) {
    *c = new_number_value(number_copy(node->ncoef));
    return;
  }
  if (skip == 0) {
    tot_eval_poly(node->pcoef, arg->next, c, static_cast<std::int16_t>(level + 1), 0);
  } else {
    tot_eval_poly(node->pcoef, arg, c, static_cast<std::int16_t>(level + 1),
                  static_cast<std::int16_t>(skip - 1));
  }
}

// The copy of q for a nil chain, wrapped in `level` pads.
void padded_copy(poly q, std::int16_t level, quolyptr n) {
  p_q_assign(q, n);
  if (!(*n)->numb) add_pad(&(*n)->numer, level);
}

// The value of multilinear q at 0/1 words in characteristic 2 with skip 0.
std::int32_t fast_char2(poly q, quoly arg) {
  if (q->numb) return q->ncoef->lint;
  if (arg == nullptr) {
    tavrin_error("total eval: fewer values than levels", false);
    return 0;
  }
  const std::int32_t len = list_nodes(q) < 2 ? list_nodes(q) : 2;
  EvalProgress progress("total eval, numbers char 2 fast, counting to ", len - 1);
  std::int32_t r = 0;
  if (!(q->exp == 1 && arg->ncoef->lint != 1)) r = fast_char2(q->pcoef, arg->next);
  progress.step(0);
  if (q->next != nullptr) {
    poly second = q->next;
    const std::int32_t c =
        second->numb ? second->ncoef->lint : fast_char2(second->pcoef, arg->next);
    r ^= c;  // the sum in characteristic 2, also over GF(2^8) and GF(2^16)
  }
  progress.end();
  return r;
}

std::int32_t chain_length(quoly arg) {
  std::int32_t len = 0;
  for (; arg != nullptr; arg = arg->next) ++len;
  return len;
}

}  // namespace

// ---- Total evaluation ---------------------------------------------------------------------------

void tot_eval_poly(poly q, quoly arg, quolyptr n, std::int16_t level, std::int16_t skip) {
  quoly result = nullptr;
  if (is_bare_leaf(q)) {
    result = new_number_value(number_copy(q->ncoef));
  } else if (arg == nullptr) {
    padded_copy(q, level, &result);
  } else {
    const std::int32_t len = list_nodes(q);
    EvalProgress progress("total eval, counting to ", len - 1);
    OwnedValue acc;
    eval_coef(q, arg, level, skip, &acc.q);
    progress.step(0);
    OwnedValue variable;
    if (skip > 0) base_quoly(&variable.q, level + 1);
    quoly v = skip == 0 ? arg : variable.q;
    // One power per gap; consecutive equal gaps share it.
    OwnedValue power;
    std::int32_t power_exp = 0;
    auto multiply_by_power = [&](std::int32_t e, bool divide) {
      quoly factor = v;
      if (e > 1) {
        if (e != power_exp) {
          free_quoly(&power.q);
          fresh_power(v, e, &power.q);
          power_exp = e;
        }
        factor = power.q;
      }
      if (divide) {
        fast_quoly_quot(&acc.q, &factor, false);
      } else {
        fast_quoly_mult(&acc.q, &factor);
      }
    };
    poly prev = q;
    std::int32_t i = 2;
    for (poly node = q->next; node != nullptr; node = node->next, ++i) {
      multiply_by_power(node_exp(prev) - node_exp(node), false);
      quoly c = nullptr;
      eval_coef(node, arg, level, skip, &c);
      best_quoly_add(&acc.q, c);
      progress.step(i - 1);
      prev = node;
    }
    const std::int32_t e = node_exp(prev);
    if (e > 0) multiply_by_power(e, false);
    if (e < 0) multiply_by_power(-e, true);
    progress.end();
    result = acc.release();
  }
  free_quoly(n);
  *n = result;
}

void tot_eval_poly2_fast(poly q, quoly arg, std::int32_t* n) { *n = fast_char2(q, arg); }

void tot_eval_poly2(poly q, quoly arg, quolyptr n, std::int16_t level, std::int16_t skip,
                    std::int32_t count) {
  quoly result = nullptr;
  if (skip == 0 && level + count == number_polys && chain_length(arg) >= count) {
    quoly_set(fast_char2(q, arg), &result);
    result->next = nullptr;
  } else if (is_bare_leaf(q)) {
    result = new_number_value(number_copy(q->ncoef));
  } else if (arg == nullptr) {
    padded_copy(q, level, &result);
  } else {
    const std::int32_t len = list_nodes(q) < 2 ? list_nodes(q) : 2;
    EvalProgress progress("total eval, numbers char 2, counting to ", len - 1);
    const auto below = static_cast<std::int16_t>(level + 1);
    // A node's coefficient evaluated one level down (a leaf copied).
    auto eval_below = [&](poly node, quolyptr c) {
      if (node->numb) {
        *c = new_number_value(number_copy(node->ncoef));
      } else if (skip == 0) {
        tot_eval_poly2(node->pcoef, arg->next, c, below, 0, count - 1);
      } else {
        tot_eval_poly2(node->pcoef, arg, c, below, static_cast<std::int16_t>(skip - 1), count);
      }
    };
    OwnedValue acc;
    OwnedValue variable;
    if (skip == 0 && q->exp == 1 && !(arg->numb && arg->ncoef->lint == 1)) {
      quoly_set(0, &acc.q);
      acc.q->next = nullptr;
    } else {
      eval_below(q, &acc.q);
    }
    if (skip > 0) base_quoly(&variable.q, below);
    progress.step(0);
    // The leading term's power of a level left as a variable (also when
    // no constant node follows it).
    if (skip > 0 && !q->numb && q->exp == 1) fast_quoly_mult(&acc.q, &variable.q);
    if (q->next != nullptr) {
      quoly c = nullptr;
      eval_below(q->next, &c);
      if (!c->numb || !acc.q->numb) {
        best_quoly_add(&acc.q, c);
      } else {
        acc.q->ncoef->lint ^= c->ncoef->lint;  // the field's sum
        free_quoly(&c);
      }
    }
    progress.end();
    result = acc.release();
  }
  free_quoly(n);
  *n = result;
}

// ---- Derivatives --------------------------------------------------------------------------------

namespace {

// A value that differentiates to 0 whatever the variable: a number, or a
// rational number outside word mode.
bool constant_value(quoly q) { return q->numb || (q->rat && !lintmode); }

}  // namespace

void quoly_differen_once(quolyptr q, std::int16_t height) {
  quoly v = *q;
  if (constant_value(v)) {
    become_zero(v);
    return;
  }
  if (v->denom == nullptr) {
    general_poly_diff(&v->numer, 1, height);
    number_if_constant(v);
    return;
  }
  if (height == 1 && node_exp(v->denom) == 0) {  // the denominator is free of the variable
    poly_diff(&v->numer, 1);
  } else {
    // (N/D)' = (N' D - N D') / D^2, cancelled by g = gcd(D, D'):
    // ((N' D - N D') / g) / (D (D / g)).
    nodes::OwnedPoly dn;
    nodes::OwnedPoly dd;
    poly_assign(v->numer, dn.cell());
    poly_assign(v->denom, dd.cell());
    general_poly_diff(dn.cell(), 1, height);
    general_poly_diff(dd.cell(), 1, height);
    if (poly_iszero(dd.get())) {
      free_poly(&v->numer);
      v->numer = dn.release();
    } else {
      nodes::OwnedPoly g;
      detail::value_gcd(v->denom, dd.get(), g.cell());
      nodes::OwnedPoly left;
      nodes::OwnedPoly right;
      poly_mult(v->denom, dn.get(), left.cell(), polynames);
      poly_mult(v->numer, dd.get(), right.cell(), polynames);
      poly numer = nullptr;
      poly_sub(left.get(), right.get(), &numer);
      nodes::OwnedPoly num;
      num.p = numer;
      nodes::OwnedPoly denom;
      if (g.get()->numb) {
        poly_mult(v->denom, v->denom, denom.cell(), polynames);
      } else {
        nodes::OwnedPoly cofactor;
        reduce(num.cell(), &v->denom, g.cell(), num.cell(), cofactor.cell(),
               {.el_n = laurent, .dflag = true});
        poly_mult(v->denom, cofactor.get(), denom.cell(), polynames);
      }
      free_poly(&v->numer);
      free_poly(&v->denom);
      v->numer = num.release();
      v->denom = denom.release();
    }
  }
  v->rat = false;
  if (poly_iszero(v->denom)) {
    error(division_by_zero_error, &quotsign);
    become_one(v);
    return;
  }
  check_quoly(q, false);
}

void differentiate(quolyptr n, std::int16_t height, std::int32_t degree) {
  if (degree <= 0) return;
  quoly v = *n;
  if (constant_value(v)) {
    become_zero(v);
    return;
  }
  if (v->denom == nullptr) {
    general_poly_diff(&v->numer, degree, height);
    number_if_constant(v);
    return;
  }
  if (is_bare_leaf(v->denom)) {
    general_poly_diff(&v->numer, degree, height);
    check_quoly(n, false);
    return;
  }
  for (std::int32_t k = 0; k < degree; ++k) quoly_differen_once(n, height);
}

void derivative_of(quoly v, std::int16_t height, std::int32_t degree, quolyptr out) {
  if (degree <= 0 || constant_value(v) || height != 1 ||
      (v->denom != nullptr && !is_bare_leaf(v->denom))) {
    quoly_assign(v, out);
    differentiate(out, height, degree);
    return;
  }
  OwnedValue r;
  r.q = nodes::new_ratfun_value(poly_derivative(v->numer, degree), nullptr);
  if (v->denom != nullptr) poly_assign(v->denom, &r.q->denom);
  free_quoly(out);
  *out = r.release();
  if (v->denom == nullptr) {
    number_if_constant(*out);
  } else {
    check_quoly(out, false);
  }
}

}  // namespace tavrin
