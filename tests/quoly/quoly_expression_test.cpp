// Random expression trees in x and y computed with the value operations
// (both families, chosen at random) and checked against the tree evaluated
// directly at points: each over the rationals (also in Laurent mode) and
// modulo 65,521, and trees with integer leaves and no division (where every
// result is a polynomial).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "quoly/quoly.h"
#include "quoly/quoly_add.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_power.h"
#include "quoly/quoly_quot.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/ratref.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

// A node of an expression tree: a leaf (a rational constant, x or y) or an
// operator with two operands, or "^" with an operand and an exponent.
struct Tree {
  char op = 'c';  // 'c' constant, 'x', 'y', '+', '-', '*', '/', '^'
  RatRef value;   // of a constant
  std::int32_t e = 0;
  std::unique_ptr<Tree> a, b;

  std::string text() const {
    switch (op) {
      case 'c': return "(" + value.to_string() + ")";
      case 'x':
      case 'y': return std::string(1, op);
      case '^': return "(" + a->text() + ")^" + std::to_string(e);
      default: return "(" + a->text() + " " + op + " " + b->text() + ")";
    }
  }
};

struct TreeShape {
  bool rational_leaves;  // else integer leaves
  bool division;         // "/" and negative exponents allowed
};

std::unique_ptr<Tree> random_tree(std::mt19937_64& rng, int depth, const TreeShape& shape) {
  auto t = std::make_unique<Tree>();
  if (depth == 0 || rng() % 8 == 0) {
    const int k = static_cast<int>(rng() % 10);
    if (k < 6) {
      t->op = k < 3 ? 'x' : 'y';
    } else {
      const std::int64_t n = static_cast<std::int64_t>(rng() % 9) - 4;
      const std::int64_t d =
          shape.rational_leaves && k >= 8 ? 1 + static_cast<std::int64_t>(rng() % 4) : 1;
      t->value = RatRef(BigRef(n), BigRef(d));
    }
    return t;
  }
  const char ops[] = {'+', '-', '*', '/', '^'};
  do {
    t->op = ops[rng() % 5];
  } while (t->op == '/' && !shape.division);
  if (t->op == '^') {
    // Powers of small operands only, so that sizes stay moderate.
    t->a = random_tree(rng, std::min(depth - 1, 1), shape);
    t->e = shape.division ? static_cast<std::int32_t>(rng() % 9) - 3
                          : static_cast<std::int32_t>(rng() % 6);
    return t;
  }
  t->a = random_tree(rng, depth - 1, shape);
  t->b = random_tree(rng, depth - 1, shape);
  return t;
}

// The tree's value at the point, in any arithmetic T with +, -, *, a
// division that fails on zero and one and zero; nullopt on a division by
// zero.
template <class T, class Div>
std::optional<T> evaluate_tree(const Tree& t, const T& x, const T& y, const T& one,
                               const std::function<T(const RatRef&)>& constant, Div div) {
  switch (t.op) {
    case 'c': return constant(t.value);
    case 'x': return x;
    case 'y': return y;
    default: break;
  }
  const auto a = evaluate_tree(*t.a, x, y, one, constant, div);
  if (!a) return std::nullopt;
  if (t.op == '^') {
    T r = one;
    for (std::int32_t k = 0; k < std::abs(t.e); ++k) r = r * *a;
    if (t.e >= 0) return r;
    return div(one, r);
  }
  const auto b = evaluate_tree(*t.b, x, y, one, constant, div);
  if (!b) return std::nullopt;
  switch (t.op) {
    case '+': return *a + *b;
    case '-': return *a - *b;
    case '*': return *a * *b;
    default: return div(*a, *b);
  }
}

// Residues modulo p with the operators evaluate_tree needs.
struct Residue {
  std::int64_t v, p;
  friend Residue operator+(Residue a, Residue b) { return {(a.v + b.v) % a.p, a.p}; }
  friend Residue operator-(Residue a, Residue b) { return {(a.v - b.v + a.p) % a.p, a.p}; }
  friend Residue operator*(Residue a, Residue b) { return {a.v * b.v % a.p, a.p}; }
};
std::int64_t inverse_mod(std::int64_t a, std::int64_t p) {
  std::int64_t r = 1;
  for (std::int64_t e = p - 2, b = a; e > 0; e >>= 1, b = b * b % p)
    if (e & 1) r = r * b % p;
  return r;
}

// An exponent number holding e as a signed word (word-size arithmetic) or
// a big integer.
imptr exponent_number(std::int32_t e) {
  if (!lintmode && !flotemode) return make_number(BigRef(e));
  imptr n;
  newimag(&n);
  n->lint = e;
  return n;
}

// The tree computed with the value operations, each operator by the
// in-place or the three-argument form at random.
Value compute(const Tree& t, std::mt19937_64& rng) {
  switch (t.op) {
    case 'c':
      return t.value.is_integer()
                 ? Value::number(t.value.num())
                 : make_value(t.value.num().to_decimal() + " / " + t.value.den().to_decimal());
    case 'x':
    case 'y': return make_value(std::string(1, t.op));
    default: break;
  }
  Value a = compute(*t.a, rng);
  if (t.op == '^') {
    struct Exponent {
      imptr n;
      ~Exponent() {
        special_free(n);
        free_imag(&n);
      }
    } e{exponent_number(t.e)};
    raise_to_power(a.cell(), e.n);
    return a;
  }
  Value b = compute(*t.b, rng);
  const bool in_place = rng() % 2 == 0;
  Value r;
  if (in_place) {
    switch (t.op) {
      case '+':
      case '-': {
        quoly m = b.get();
        *b.cell() = nullptr;  // used up
        (t.op == '+' ? best_quoly_add : best_quoly_sub)(a.cell(), m);
        break;
      }
      case '*': fast_quoly_mult(a.cell(), b.cell()); break;
      default: fast_quoly_quot(a.cell(), b.cell(), false); break;
    }
    return a;
  }
  switch (t.op) {
    case '+': quoly_add(a, b, r.cell()); break;
    case '-': quoly_sub(a, b, r.cell()); break;
    case '*': quoly_mult(a, b, r.cell()); break;
    default: quoly_quot(a, b, r.cell(), false); break;
  }
  return r;
}

TEST(ValueExpressions, RandomTreesAgreeWithDirectEvaluation) {
  PolyVars vars{"x", "y"};
  std::mt19937_64 rng(test_seed() + 2105);
  SCOPED_TRACE("seed " + std::to_string(test_seed()));
  ScopedValue<bool> push(errorpush, false);  // a division by zero unwinds: the tree is skipped
  const std::function<RatRef(const RatRef&)> rational = [](const RatRef& v) { return v; };
  auto rat_div = [](const RatRef& a, const RatRef& b) -> std::optional<RatRef> {
    if (b.is_zero()) return std::nullopt;
    return a / b;
  };
  constexpr std::int64_t p = 65521;
  const std::function<Residue(const RatRef&)> residue = [](const RatRef& v) {
    const std::int64_t n = ((v.num() % BigRef(p)).to_int64() + p) % p;
    const std::int64_t d = (v.den() % BigRef(p)).to_int64();
    return Residue{n * inverse_mod(d, p) % p, p};
  };
  auto mod_div = [](const Residue& a, const Residue& b) -> std::optional<Residue> {
    if (b.v == 0) return std::nullopt;
    return a * Residue{inverse_mod(b.v, p), p};
  };
  NodeBalance balance;
  int computed = 0, checked = 0;
  // The tree in one ring: rationals (mod_p false) or modulo p; false when it
  // divides by zero there (the error unwinds and the tree is skipped).
  auto check = [&](const Tree& tree, bool mod_p, bool polynomial) {
    SCOPED_TRACE(tree.text() + (mod_p ? " mod 65521" : laurent ? " (Laurent)" : ""));
    std::optional<ModulusScope> mod;
    if (mod_p) mod.emplace(static_cast<std::int32_t>(p));
    Value r;
    bool unwound = false;
    output_of([&] { r = compute(tree, rng); }, &unwound);
    if (unwound) return;
    ++computed;
    ASSERT_TRUE(normal_value(r));
    if (polynomial) {
      EXPECT_TRUE(r->numb || r->denom == nullptr) << value_text(r);
    }
    for (int k = 0; k < 5; ++k) {
      if (mod_p) {
        const Residue x{static_cast<std::int64_t>(rng() % p), p},
            y{static_cast<std::int64_t>(rng() % p), p};
        const auto direct = evaluate_tree<Residue>(tree, x, y, Residue{1, p}, residue, mod_div);
        const auto got = value_mod_at(r, {x.v, y.v}, p);
        if (!direct || !got) continue;
        EXPECT_EQ(*got, direct->v) << value_text(r) << " at " << x.v << ", " << y.v;
      } else {
        const RatRef x = random_ratref(rng, 9, 5), y = random_ratref(rng, 9, 5);
        if (laurent && (x.is_zero() || y.is_zero())) continue;  // x^-1 has no value there
        const auto direct = evaluate_tree<RatRef>(tree, x, y, RatRef(1), rational, rat_div);
        const auto got = value_at(r, {x, y});
        if (!direct || !got) continue;
        EXPECT_EQ(*got, *direct) << value_text(r) << " at " << x << ", " << y;
      }
      ++checked;
    }
  };
  const int trees = test_iterations(1000);
  for (int i = 0; i < trees; ++i) {
    // Each tree over the rationals (every fourth in Laurent mode) and modulo
    // p; then a tree of integer leaves without division.
    const std::unique_ptr<Tree> tree =
        random_tree(rng, 2 + static_cast<int>(rng() % 3), {true, true});
    {
      ScopedValue<bool> l(laurent, i % 4 == 3);
      check(*tree, false, false);
    }
    check(*tree, true, false);
    check(*random_tree(rng, 2 + static_cast<int>(rng() % 3), {false, false}), false, true);
  }
  EXPECT_GT(computed, 2 * trees);
  EXPECT_GT(checked, computed * 3);
}

}  // namespace
}  // namespace tavrin::test
