// The reader of written-out values (poly_readin.h).
//
// The polynomial is built as it is read. For each level k from the top down
// to the deepest level opened so far, tails[k] is the last node of the open
// list at that level; every open list above the deepest ends in a pad term
// (exponent 0) whose coefficient is the list below. A term of the deepest
// variable is appended to its list; a deeper variable opens a pad after the
// tail and the lists down to it; a higher variable can only continue its
// list after the pad, so with a negative exponent (Laurent mode); a constant
// becomes the leaf that ends the deepest list, and only negative exponents
// of that list's variable may follow it.
#include "lang/poly_readin.h"
#include "core/error_codes.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "numbers/node_handles.h"
#include "poly/poly_measures.h"
#include "poly/poly_modout.h"
#include "poly/poly_repr.h"
#include "poly/poly_upcalls.h"
#include "quoly/quoly_add.h"
#include "toplevel/language_services.h"
#include "toplevel/number_literals.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/expressions.h"

namespace tavrin {

bool minus_warning = false;

namespace {

using nodes::new_leaf;
using nodes::new_ratfun_value;
using nodes::new_term;
using nodes::OwnedPoly;

constexpr std::int32_t constant_level = 16384;

using namespace tokens;
bool is_digit_tok() { return std::isdigit(static_cast<unsigned char>(token.name[0])) != 0; }

bool is_leaf(poly p) { return p->numb && p->next == nullptr; }

// Thrown past the terms when the polynomial is the single literal 0.
struct ZeroPolynomial {};

class PolyReader {
 public:
  PolyReader(textptr inf, nameptr* flag) : inf_(inf), flag_(flag) {}

  // The whole polynomial; *depth its first level. coef: the coefficient of
  // a first term whose variable is current (nil: read from the start).
  poly read(std::int32_t* depth, poly coef) {
    OwnedPoly c;
    c.p = coef;
    bool need = true;
    if (c.p == nullptr) {
      try {
        c.p = get_the_coef(&need);
      } catch (const ZeroPolynomial&) {
        *depth = constant_level;
        poly zero = nullptr;
        poly_set(0, &zero);
        return zero;
      }
    } else if (node_iszero(c.p) && is_leaf(c.p)) {
      fail(zero_coefficient_term_error);
    }
    for (;;) {
      std::int32_t level = 0, exp = 0;
      get_var_and_expon(need, &level, &exp);
      attach_to_poly(c.release(), level, exp);
      if (is_tok("+")) {
        scanner(inf_, &token, flag_);
        c.p = get_the_coef(&need);
      } else if (is_tok("-")) {
        c.p = get_the_coef(&need);
      } else {
        break;
      }
    }
    if (minus_seen_ && mod_is_changed > 0 && minus_warning) {
      std::printf("*** Warning. Negative value seen during poly readin in modular mode.\n");
      std::printf("    Check your data carefully.\n\n");
      minus_warning = false;
      std::fflush(stdout);
    }
    *depth = first_depth_;
    return q_.release();
  }

 private:
  // Frees the partial result (the reader's handles) and reports n.
  [[noreturn]] void fail(std::int32_t n) { abandon(n, &token); }

  // A coefficient: "(" polynomial ")", "-" coefficient, digits, or nothing
  // (1, and then a variable must follow: *need).
  poly get_the_coef(bool* need) {
    if (is_tok("(")) {
      scanner(inf_, &token, flag_);
      std::int32_t d = 0;
      OwnedPoly inner;
      inner.p = PolyReader(inf_, flag_).read(&d, nullptr);
      if (is_leaf(inner.p) && node_iszero(inner.p)) fail(zero_coefficient_term_error);
      if (!is_tok(")")) fail(close_paren_expected_error);
      scanner(inf_, &token, flag_);
      *need = false;
      return inner.release();
    }
    if (is_tok("-")) {
      minus_seen_ = true;
      scanner(inf_, &token, flag_);
      const bool nothing_yet = q_.p == nullptr;
      poly c = nullptr;
      try {
        c = get_the_coef(need);
      } catch (const ZeroPolynomial&) {
        if (nothing_yet) throw;
        fail(zero_coefficient_term_error);
      }
      poly_inplace(c);
      return c;
    }
    if (is_digit_tok()) {
      imptr n = nullptr;
      newimag(&n);
      std::int32_t count = 0;
      new_readin(inf_, n, flag_, &count);
      poly leaf = new_leaf(n);
      *need = false;
      if (node_iszero(leaf)) {
        free_poly(&leaf);
        if (q_.p == nullptr) throw ZeroPolynomial{};
        fail(zero_coefficient_term_error);
      }
      return leaf;
    }
    poly one = nullptr;
    poly_set(1, &one);
    *need = true;
    return one;
  }

  // The variable and exponent of the term, with the order test against the
  // previous term. *level: constant_level for a constant.
  void get_var_and_expon(bool mustbe, std::int32_t* level, std::int32_t* exp) {
    if (!std::islower(static_cast<unsigned char>(token.name[0]))) {
      if (mustbe) fail(polynomial_variable_expected_error);
      *level = constant_level;
      *exp = 0;
      return;
    }
    std::int16_t d = 0;
    if (!is_poly_name(token.name, &d)) fail(not_polynomial_variable_error);
    *level = d;
    scanner(inf_, &token, flag_);
    *exp = 1;
    if (is_tok("^")) {
      scanner(inf_, &token, flag_);
      bool negative = false;
      if (is_tok("-")) {
        if (!laurent) fail(negative_exponent_outside_laurent_mode_165_error);
        negative = true;
        scanner(inf_, &token, flag_);
      }
      if (!is_digit_tok()) fail(bad_exponent_after_caret_error);
      *exp = read_exponent();
      if (*exp == 0) fail(exponent_0_not_allowed_error);
      if (negative) *exp = -*exp;
    }
  }

  // The digits of an exponent, with the modular mode switched off.
  std::int32_t read_exponent() {
    ModularBracket plain;
    imptr n = nullptr;
    newimag(&n);
    std::int32_t count = 0;
    readin(inf_, n, flag_, &count);
    std::int64_t v = 0;
    bool too_big = false;
    // readin leaves base-10^8 limbs, most significant first.
    for (numptr l = n->head; l != nullptr; l = l->next) {
      v = v * 100000000 + l->value;
      if (v > 2147483647) {
        too_big = true;
        break;
      }
    }
    special_free(n);  // the digit limbs, also in word mode
    free_imag(&n);
    if (too_big) fail(exponent_overflow_error);
    return static_cast<std::int32_t>(v);
  }

  // The coefficient c (a polynomial of levels below `level`, taken over)
  // stripped of its pads down to the list at level + 1.
  poly below_level(poly c, std::int32_t level) {
    if (is_leaf(c)) return c;
    OwnedPoly own;
    own.p = c;
    if (poly_depth(c) <= level) fail(terms_out_order_coefficient_wrong_variables_error);
    poly p = own.release();
    for (std::int32_t k = 1; k <= level; ++k) {
      poly inner = p->pcoef;
      p->pcoef = nullptr;
      free_polynode_list(p, p);
      p = inner;
    }
    return p;
  }

  // A chain of pads at levels from..to - 1 ending in the node of the term
  // (exponent exp, coefficient coef) at level to; tails_ updated.
  poly open_levels(std::int32_t from, std::int32_t to, std::int32_t exp, poly coef) {
    if (static_cast<std::int32_t>(tails_.size()) <= to)
      tails_.resize(static_cast<std::size_t>(to) + 1);
    poly node = new_term(exp, coef);
    tails_[static_cast<std::size_t>(to)] = node;
    poly head = node;
    for (std::int32_t k = to - 1; k >= from; --k) {
      head = new_term(0, head);
      tails_[static_cast<std::size_t>(k)] = head;
    }
    return head;
  }

  void attach_to_poly(poly coef, std::int32_t level, std::int32_t exp) {
    OwnedPoly c;
    c.p = coef;
    if (q_.p == nullptr) {
      if (level == constant_level) {
        q_.p = c.release();
        first_depth_ = constant_level;
        if (!is_leaf(q_.p)) {
          closed_ = true;  // a whole polynomial in parentheses
          return;
        }
        tails_.assign(2, nullptr);
        tails_[1] = q_.p;
        leaf_prev_ = nullptr;
        cur_ = 1;
        leaf_last_ = true;
        return;
      }
      poly stripped = below_level(c.release(), level);
      q_.p = open_levels(1, level, exp, stripped);
      first_depth_ = level;
      cur_ = level;
      leaf_last_ = false;
      return;
    }
    if (closed_) fail(terms_out_order_coefficient_wrong_variables_error);
    poly tail = tails_[static_cast<std::size_t>(cur_)];
    if (level == constant_level) {
      if (!is_leaf(c.p)) fail(polynomial_variable_expected_error);
      if (leaf_last_) {
        add_to_leaf(tail, c.release());
        return;
      }
      if (tail->exp < 0)
        fail(terms_out_order_coefficient_wrong_variables_error);  // the constant comes before
                                                                  // negative exponents
      leaf_prev_ = tail;
      tail->next = c.release();
      tails_[static_cast<std::size_t>(cur_)] = tail->next;
      leaf_last_ = true;
      return;
    }
    if (level <= cur_) {
      poly at = tails_[static_cast<std::size_t>(level)];
      const std::int32_t before = (leaf_last_ && level == cur_) ? 0 : at->exp;
      if (exp >= before) fail(terms_out_order_coefficient_wrong_variables_error);
      if (level < cur_ && exp >= 0) fail(terms_out_order_coefficient_wrong_variables_error);
      poly stripped = below_level(c.release(), level);
      at->next = new_term(exp, stripped);
      tails_[static_cast<std::size_t>(level)] = at->next;
      cur_ = level;
      leaf_last_ = false;
      return;
    }
    // A deeper variable: the x^0 branch of the current level opens.
    if (leaf_last_) {
      // Only a negative exponent may follow the constant; the constant then
      // heads the deeper list (3 + y^-1 below x^0), so it moves down.
      if (exp >= 0) fail(terms_out_order_coefficient_wrong_variables_error);
      poly stripped = below_level(c.release(), level);
      poly leaf = tail;
      leaf->next = new_term(exp, stripped);
      if (static_cast<std::int32_t>(tails_.size()) <= level)
        tails_.resize(static_cast<std::size_t>(level) + 1);
      tails_[static_cast<std::size_t>(level)] = leaf->next;
      poly head = leaf;
      for (std::int32_t k = level - 1; k > cur_; --k) {
        head = new_term(0, head);
        tails_[static_cast<std::size_t>(k)] = head;
      }
      poly pad = new_term(0, head);
      if (leaf_prev_ != nullptr) {
        leaf_prev_->next = pad;
      } else {
        q_.p = pad;
      }
      tails_[static_cast<std::size_t>(cur_)] = pad;
      if (first_depth_ == constant_level) first_depth_ = level;
      cur_ = level;
      leaf_last_ = false;
      return;
    }
    if (tail->exp < 0) fail(terms_out_order_coefficient_wrong_variables_error);
    poly stripped = below_level(c.release(), level);
    poly chain = open_levels(cur_ + 1, level, exp, stripped);
    tail->next = new_term(0, chain);
    tails_[static_cast<std::size_t>(cur_)] = tail->next;
    cur_ = level;
    leaf_last_ = false;
  }

  // Consecutive constants are summed into the leaf; a zero sum is error 163.
  void add_to_leaf(poly leaf, poly c) {
    ValueCell a, b;
    poly_to_quoly(leaf, &a.q);
    poly_to_quoly(c, &b.q);
    free_poly(&c);
    best_quoly_add(&a.q, b.release());
    if (quoly_iszero(a.q)) fail(zero_coefficient_term_error);
    free_imag(&leaf->ncoef);
    leaf->ncoef = a.q->ncoef;
    a.q->ncoef = nullptr;
  }

  textptr inf_;
  nameptr* flag_;
  OwnedPoly q_;
  std::vector<poly> tails_;
  std::int32_t cur_ = 0;
  bool leaf_last_ = false;
  poly leaf_prev_ = nullptr;  // the node before the leaf (nil: the leaf is the whole)
  bool closed_ = false;
  bool minus_seen_ = false;
  std::int32_t first_depth_ = constant_level;
};

// A polynomial part of a rational function: "(" polynomial ")" optionally
// followed by a variable (the polynomial its first coefficient), or a
// polynomial.
poly read_part(textptr inf, nameptr* flag, std::int32_t* depth) {
  if (!is_tok("(")) {
    poly p = nullptr;
    poly_readin(inf, &p, flag, depth);
    return p;
  }
  scanner(inf, &token, flag);
  OwnedPoly p;
  poly_readin(inf, p.cell(), flag, depth);
  if (!is_tok(")")) abandon(close_paren_expected_error, &token);
  scanner(inf, &token, flag);
  std::int16_t d = 0;
  if (std::islower(static_cast<unsigned char>(token.name[0])) && is_poly_name(token.name, &d)) {
    *depth = d;
    poly_readin(inf, p.cell(), flag, depth);
  }
  return p.release();
}

}  // namespace

void poly_readin(textptr inf, poly* p, nameptr* flag, std::int32_t* depth) {
  std::optional<ModularBracket> plain;
  if (nomodpolyreadin) plain.emplace();
  poly coef = *p;
  *p = nullptr;
  *p = PolyReader(inf, flag).read(depth, coef);
}

void quoly_readin(textptr inf, quolyptr n, nameptr* flag, std::int32_t* depth) {
  free_quoly(n);
  OwnedPoly numer;
  numer.p = read_part(inf, flag, depth);
  if (!is_tok("/")) {
    total_poly_modout(numer.cell(), polynames);
    quoly q = new_ratfun_value(numer.release(), nullptr);
    *n = q;
    if (q->numer->numb && q->numer->next == nullptr) polynum_to_quoly(n);
    return;
  }
  if (is_leaf(numer.p) && node_iszero(numer.p))
    abandon(zero_numerator_before_slash_error, &quotsign);
  scanner(inf, &token, flag);
  std::int32_t d = 0;
  OwnedPoly denom;
  denom.p = read_part(inf, flag, &d);
  total_poly_modout(numer.cell(), polynames);
  total_poly_modout(denom.cell(), polynames);
  if (is_leaf(denom.p) && node_iszero(denom.p)) abandon(division_by_zero_error, &quotsign);
  quoly q = new_ratfun_value(numer.release(), denom.release());
  *n = q;
  check_quoly(n, laurent);
}

}  // namespace tavrin
