#include "lang/builtins/coefficients.h"

#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "numbers/node_handles.h"
#include "numbers/poly_nodes.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "gcd/content.h"
#include "quoly/quoly_coef.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/expressions.h"
#include "lang/lang_upcalls.h"

namespace tavrin {

namespace {

using nodes::OwnedPoly;

using namespace tokens;
bool single_leaf(poly p) { return p->numb && p->next == nullptr; }
bool is_pad(poly p) { return !p->numb && p->exp == 0 && p->next == nullptr; }

// Builds a term chain in order.
struct Chain {
  poly head = nullptr;
  poly tail = nullptr;
  void append(poly t) {
    if (head == nullptr) {
      head = t;
    } else {
      tail->next = t;
    }
    tail = t;
    while (tail->next != nullptr) tail = tail->next;
  }
  ~Chain() {
    if (head != nullptr) free_poly(&head);
  }
  poly release() {
    poly r = head;
    head = tail = nullptr;
    return r;
  }
};

poly zero_poly() {
  poly z = nullptr;
  poly_set(0, &z);
  return z;
}

// *ans := a copy of what stands at the term t (a leaf's number, or its
// coefficient kept at its level by one pad).
void copy_found(poly t, poly* ans) {
  if (t->numb) {
    node_assign(t, ans);
    return;
  }
  poly_assign(t->pcoef, ans);
  if (!single_leaf(*ans)) add_pad(ans, 1);
}

// The integer of an exponent sum; 227-like faults are the caller's codes.
std::int32_t read_exponent(textptr inf, nameptr* flag, quoly* e) {
  ModularBracket integers;
  free_quoly(e);
  old_expre(inf, e, flag);
  if (!(*e)->numb) return no_int_value;
  return quoly_convert_to_int(*e);
}

// A monomial argument read as a sum in the current arithmetic: a leaf 1 for
// a number, else a copy of the numerator. Error 307.
poly read_monomial(textptr inf, nameptr* flag) {
  nodes::OwnedValue m;
  old_expre(inf, &m.q, flag);
  poly p = nullptr;
  if (m.q->numb) {
    poly_set(1, &p);
    return p;
  }
  if (m.q->denom != nullptr || !monomial(m.q->numer))
    abandon(monomial_denominator_more_than_one_term_error, &token);
  poly_assign(m.q->numer, &p);
  return p;
}

poly extract_rec(poly n, poly p, poly r);

// Every term of n with the lower monomials p1 and r1.
poly pass_level(poly n, poly p1, poly r1) {
  Chain out;
  for (poly t = n; t != nullptr; t = t->next) {
    if (!t->numb) {
      poly c = extract_rec(t->pcoef, p1, r1);
      if (poly_iszero(c)) {
        free_poly(&c);
        continue;
      }
      fluff_out(&c, t->exp);
      out.append(c);
    } else if (p1->numb) {
      poly c = nullptr;
      node_assign(t, &c);
      out.append(c);
    }
  }
  if (out.head == nullptr) return zero_poly();
  return out.release();
}

// The coefficient below the term found, kept at its level.
poly below(poly t, poly p1, poly r1) {
  poly c = extract_rec(t->pcoef, p1, r1);
  if (!single_leaf(c)) add_pad(&c, 1);
  return c;
}

poly extract_rec(poly n, poly p, poly r) {
  if (p->numb && r->numb) {
    poly s = nullptr;
    poly_assign(n, &s);
    return s;
  }
  if (p->numb) {
    if (r->exp == 0) return pass_level(n, p, r->pcoef);
    poly t = n;
    while (t != nullptr && !t->numb && t->exp > 0) t = t->next;
    if (t == nullptr || t->exp < 0) return zero_poly();
    if (t->numb) {
      poly s = nullptr;
      node_assign(t, &s);
      return s;
    }
    return below(t, p, r->pcoef);
  }
  if (r->numb) {
    const std::int32_t expo = p->exp;
    if (expo == 0) return pass_level(n, p->pcoef, r);
    poly t = n;
    while (t != nullptr && t->exp > expo) t = t->next;
    if (t == nullptr || t->exp != expo || t->numb) return zero_poly();
    return below(t, p->pcoef, r);
  }
  const std::int32_t e = p->exp;
  if (e == 0 && r->exp == 0) return pass_level(n, p->pcoef, r->pcoef);
  poly t = n;
  while (t != nullptr && t->exp > e) t = t->next;
  if (t == nullptr || t->exp != e || t->numb) return zero_poly();
  return below(t, p->pcoef, r->pcoef);
}

// p's top pads skipped, counted into *count; a level with a second term is
// error 307.
poly skip_pads(poly p, std::int16_t* count) {
  *count = 0;
  while (!p->numb && p->exp == 0) {
    if (p->next != nullptr) abandon(monomial_denominator_more_than_one_term_error, &token);
    p = p->pcoef;
    ++*count;
  }
  if (p->next != nullptr) abandon(monomial_denominator_more_than_one_term_error, &token);
  return p;
}

poly cullout_rec(poly n, poly p, std::int16_t height) {
  Chain out;
  if (height > 0) {
    for (poly t = n; t != nullptr; t = t->next) {
      if (t->numb) continue;
      poly c = cullout_rec(t->pcoef, p, static_cast<std::int16_t>(height - 1));
      if (c == nullptr) continue;
      fluff_out(&c, t->exp);
      out.append(c);
    }
    return out.release();
  }
  const std::int32_t e = p->exp;
  std::int16_t count = 0;
  const poly p1 = skip_pads(p->pcoef, &count);
  for (poly t = n; t != nullptr && t->exp >= e; t = t->next) {
    if (t->numb) continue;
    poly c = nullptr;
    if (p1->numb) {
      poly_assign(t->pcoef, &c);
    } else {
      c = cullout_rec(t->pcoef, p1, count);
    }
    if (c == nullptr) continue;
    fluff_out(&c, t->exp - e);
    out.append(c);
  }
  return out.release();
}

polypt level_record(std::int32_t level) {
  polypt pt = polynames;
  for (std::int32_t k = 1; k < level && pt != nullptr; ++k) pt = pt->next;
  return pt;
}

// The value becomes a number when its numerator is a single leaf.
void settle(quolyptr n) {
  const quoly q = *n;
  if (!q->numb && q->denom == nullptr && single_leaf(q->numer)) polynum_to_quoly(n);
}

// A fresh polynomial value with numerator p (taken over).
void poly_value(poly p, quolyptr n) {
  *n = nodes::new_ratfun_value(p, nullptr);
  settle(n);
}

bool number_negative(imptr x) {
  if (flotemode) return x->flote < 0;
  if (lintmode) return x->lint < 0;
  return x->head != nullptr && x->head->value < 0;
}

}  // namespace

void get_coef(poly n, poly* ans, textptr inf, nameptr* flag, bool ok) {
  std::int32_t e = 0;
  if (!is_tok(",")) {
    e = n == nullptr ? 0 : n->exp;
  } else {
    scan(inf, flag);
    nodes::OwnedValue ev;
    e = read_exponent(inf, flag, &ev.q);
    if (!ev.q->numb) {
      if (!ok) abandon(exponent_not_number_error, &token);
      general_coef(n, ans, ev.q, inf, flag);
      return;
    }
    if (e == no_int_value) abandon(exponent_not_int_error, &token);
  }
  poly t = n;
  while (t != nullptr && t->exp > e) t = t->next;
  if (t != nullptr && t->exp != e) t = nullptr;
  if (is_tok(",")) {
    if (t == nullptr) {
      get_coef(nullptr, ans, inf, flag, false);
    } else if (t->numb) {
      // The leaf alone: its chain is cut for the call and put back.
      struct Cut {
        poly t, rest;
        ~Cut() { t->next = rest; }
      } cut{t, t->next};
      t->next = nullptr;
      get_coef(t, ans, inf, flag, false);
    } else {
      get_coef(t->pcoef, ans, inf, flag, false);
      if (!single_leaf(*ans)) add_pad(ans, 1);
    }
    return;
  }
  if (t == nullptr) {
    poly_set(0, ans);
    return;
  }
  copy_found(t, ans);
}

void get_Mcoef(poly n, poly* ans, textptr inf, nameptr* flag, bool mcoef) {
  if (!is_tok(",")) abandon(single_monomial_expected_error, &token);
  scan(inf, flag);
  OwnedPoly m;
  m.p = read_monomial(inf, flag);
  OwnedPoly v;
  if (is_tok(",")) {
    if (!mcoef) abandon(only_one_monomial_allowed_error, &token);
    scan(inf, flag);
    v.p = read_monomial(inf, flag);
  } else {
    poly_set(1, &v.p);
  }
  if (mcoef) {
    extract(n, m.p, v.p, ans);
    return;
  }
  if (m.p->numb) {
    poly_assign(n, ans);
    return;
  }
  std::int16_t count = 0;
  const poly m1 = skip_pads(m.p, &count);
  if (anynegs(m1)) abandon(negative_exponent_monomial_error, &token);
  poly s = nullptr;
  cullout(n, m1, &s, count);
  *ans = s == nullptr ? zero_poly() : s;
}

void extract(poly n, poly p, poly r, poly* s) { *s = extract_rec(n, p, r); }

void cullout(poly n, poly p, poly* s, std::int16_t height) { *s = cullout_rec(n, p, height); }

void quoly_get_coef(textptr inf, quolyptr n, nameptr* flag, bool mcoef, bool mfact) {
  const quoly v = *n;
  OwnedPoly ans;
  if (v->numb) {
    OwnedPoly c;
    quoly_to_poly(v, &c.p);
    if (mcoef) {
      get_Mcoef(c.p, &ans.p, inf, flag, !mfact);
    } else {
      get_coef(c.p, &ans.p, inf, flag, true);
    }
  } else if (mcoef) {
    get_Mcoef(v->numer, &ans.p, inf, flag, !mfact);
  } else {
    get_coef(v->numer, &ans.p, inf, flag, true);
  }
  quoly out = nullptr;
  poly a = ans.release();
  use_up_poly(&a, &out);
  *n = out;
}

poly total_degree(poly p, std::int32_t level, std::int32_t deg, const bool* searchlist,
                  std::int32_t last) {
  if (p == nullptr) return nullptr;
  if (level > last) {
    if (deg == 0) return p;
    free_poly(&p);
    return nullptr;
  }
  const bool marked = level <= 150 && searchlist[level];
  Chain out;
  while (p != nullptr) {
    poly t = p;
    p = p->next;
    t->next = nullptr;
    if (t->numb) {
      if (deg == 0) {
        out.append(t);
      } else {
        free_poly(&t);
      }
      continue;
    }
    const std::int32_t d = marked ? deg - t->exp : deg;
    if (d < 0 && !laurent) {
      free_poly(&t);
      continue;
    }
    t->pcoef = total_degree(t->pcoef, level + 1, d, searchlist, last);
    if (t->pcoef == nullptr) {
      free_polynode_list(t, t);
      continue;
    }
    if (t->exp == 0 && single_leaf(t->pcoef)) {
      poly leaf = t->pcoef;
      t->pcoef = nullptr;
      free_polynode_list(t, t);
      t = leaf;
    }
    out.append(t);
  }
  return out.release();
}

void do_total_degree(quolyptr n, arrptr q, std::int32_t k) {
  if (k < 0 && !laurent) {
    quoly_set(0, n);
    return;
  }
  if (q->spar != nullptr) abandon(sparse_array_not_allowed_242_error, &token);
  bool searchlist[151] = {};
  std::int32_t last = -1;
  for (std::int32_t c = q->start; c <= q->stop; ++c) {
    const quoly v = *arp_cell(c);
    if (v == nullptr) abandon(not_assigned_variable_array_element_error, &q->name);
    if (v->numb || v->denom != nullptr) abandon(array_entry_must_polynomial_error, &q->name);
    const std::int32_t level = poly_level(v->numer);
    if (level >= 1 && level <= 150) searchlist[level] = true;
    if (level > last) last = level;
  }
  quoly val = *n;
  poly p = val->numer;
  val->numer = nullptr;
  if (last <= 0) {
    if (k != 0) free_poly(&p);
  } else {
    p = total_degree(p, 1, k, searchlist, last);
  }
  if (p == nullptr) {
    free_quoly(n);
    quoly_set(0, n);
    return;
  }
  val->numer = p;
  settle(n);
}

void quoly_leading_coef(quolyptr x, quolyptr n) {
  const quoly v = *x;
  poly p = v->numer;
  std::int32_t pads = 0;
  while (is_pad(p)) {
    p = p->pcoef;
    ++pads;
  }
  OwnedPoly c;
  if (p->numb) {
    node_assign(p, &c.p);
  } else {
    poly_assign(p->pcoef, &c.p);
    if (!single_leaf(c.p)) add_pad(&c.p, pads + 1);
  }
  OwnedPoly den;
  if (v->denom != nullptr) poly_assign(v->denom, &den.p);
  if (*n != nullptr) free_quoly(n);
  quoly out = nullptr;
  if (single_leaf(c.p) && den.p == nullptr) {
    poly a = c.release();
    poly_consume(&a, &out);
  } else {
    out = nodes::new_ratfun_value(c.release(), den.release());
  }
  *n = out;
}

namespace {

// The leading chain of p copied down `levels` levels (the rest whole); a
// pad over a leaf gives the leaf itself.
poly leading_copy(poly p, std::int32_t levels) {
  poly r = nullptr;
  if (p->numb) {
    node_assign(p, &r);
    return r;
  }
  if (levels == 0) {
    poly_assign(p, &r);
    return r;
  }
  poly c = leading_copy(p->pcoef, levels - 1);
  if (p->exp == 0 && single_leaf(c)) return c;
  return nodes::new_term(p->exp, c);
}

}  // namespace

void leading_mon(quolyptr x, quolyptr y, quolyptr n) {
  const quoly v = *x;
  if (!v->numb && v->denom != nullptr) abandon(rational_function_not_allowed_error, &token);
  std::int32_t depth = 16384;
  if (y != nullptr) {
    const quoly w = *y;
    if (w == nullptr || w->numb || w->denom != nullptr)
      abandon(single_variable_expected_error, &token);
    poly p = w->numer;
    std::int32_t pads = 0;
    while (is_pad(p)) {
      p = p->pcoef;
      ++pads;
    }
    if (p->numb || p->next != nullptr || p->exp != 1 || !poly_eq_1(p->pcoef))
      abandon(single_variable_expected_error, &token);
    depth = pads;
  }
  if (v->numb) {
    if (*n == nullptr) quoly_assign(v, n);
    return;
  }
  poly r = leading_copy(v->numer, depth);
  if (*n != nullptr) free_quoly(n);
  poly_value(r, n);
}

void lower_quoly(quolyptr n, std::int32_t k) {
  if (k < 0) abandon(level_count_out_range_error, &token);
  const quoly v = *n;
  if (v->numb) return;
  std::int32_t reach = depth_below(v->numer);
  if (v->denom != nullptr && depth_below(v->denom) > reach) reach = depth_below(v->denom);
  if (reach + k > number_polys) abandon(cannot_lower_past_last_variable_error, &token);
  if (!single_leaf(v->numer)) add_pad(&v->numer, k);
  if (v->denom != nullptr && !v->denom->numb) add_pad(&v->denom, k);
}

namespace {

// p's top k levels must be pads (error 275); they are freed.
void strip_pads(poly* p, std::int32_t k) {
  poly q = *p;
  for (std::int32_t j = 0; j < k; ++j) {
    if (!is_pad(q)) abandon(value_involves_variable_would_raised_past_error, &token);
    q = q->pcoef;
  }
  for (std::int32_t j = 0; j < k; ++j) {
    poly pad = *p;
    *p = pad->pcoef;
    pad->pcoef = nullptr;
    free_polynode_list(pad, pad);
  }
}

}  // namespace

void raise_quoly(quolyptr n, std::int32_t k) {
  if (k < 0) abandon(level_count_out_range_error, &token);
  const quoly v = *n;
  if (v->numb) return;
  const bool num = !single_leaf(v->numer);
  const bool den = v->denom != nullptr && !v->denom->numb;
  // Both are checked before either changes.
  if (num) {
    poly q = v->numer;
    for (std::int32_t j = 0; j < k; ++j, q = q->pcoef)
      if (!is_pad(q)) abandon(value_involves_variable_would_raised_past_error, &token);
  }
  if (den) {
    poly q = v->denom;
    for (std::int32_t j = 0; j < k; ++j, q = q->pcoef)
      if (!is_pad(q)) abandon(value_involves_variable_would_raised_past_error, &token);
  }
  if (num) strip_pads(&v->numer, k);
  if (den) strip_pads(&v->denom, k);
}

void call_content(quolyptr x, quolyptr n, quolyptr m) {
  const quoly v = *x;
  const bool copying = *n == nullptr;
  if (v->numb) {
    if (lintmode || quoly_iszero(v)) {
      if (!copying) free_quoly(n);
      quoly_set(1, n);
      return;
    }
    if (copying) quoly_assign(v, n);
    if (number_negative((*n)->ncoef)) quoly_inplace(*n);
    return;
  }
  if (v->rat && !lintmode) {
    if (copying) quoly_assign(v, n);
    if (leading_coef((*n)->numer)->numb && number_negative(leading_coef((*n)->numer)->ncoef))
      quoly_inplace(*n);
    return;
  }
  if (v->denom != nullptr) abandon(rational_function_not_allowed_error, &token);
  if (copying && laurent) abandon(content_reference_not_allowed_laurent_mode_error, &token);
  poly p = v->numer;
  std::int16_t depth = 1;
  while (is_pad(p)) {
    p = p->pcoef;
    ++depth;
  }
  std::int32_t level = depth;
  if (m != nullptr && *m != nullptr) {
    if (!(*m)->numb) {
      std::int16_t d = 0;
      if (!is_poly_var(*m, &d)) abandon(single_variable_expected_error, &token);
      level = d;
    } else {
      level = convert_to_int((*m)->ncoef);
    }
  }
  if (level > number_polys || level < 1) abandon(content_level_out_range_error, &token);
  if (field_depth > 0 && level >= field_depth)
    abandon(content_level_below_field_depth_error, &token);
  if (level < depth) {
    if (copying) quoly_assign(v, n);
    return;
  }
  const polypt pt = level_record(depth);
  OwnedPoly r;
  std::int32_t pads = depth;
  if (level == depth) {
    content(p, &r.p, pt, true, true, copying);
  } else {
    bool wantr = true;
    general_content(p, static_cast<std::int16_t>(level - depth + 1), &r.p, pt, &wantr, true);
    pads = depth - 1;
  }
  if (!single_leaf(r.p)) add_pad(&r.p, pads);
  if (!copying) free_quoly(n);
  poly a = r.release();
  quoly out = nullptr;
  use_up_poly(&a, &out);
  *n = out;
}

}  // namespace tavrin
