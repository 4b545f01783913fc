#include "support/value_form.h"

#include <algorithm>
#include <string>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "poly/poly_repr.h"
#include "gcd/gcd.h"
#include "quoly/quoly.h"
#include "support/poly_support.h"

namespace tavrin::test {

namespace {

// The number reached by following first nodes down.
imptr lead_number(poly p) {
  while (!p->numb) p = p->pcoef;
  return p->ncoef;
}

bool is_bare(poly p) { return p->numb && p->next == nullptr; }

bool number_is(imptr n, int v) {
  if (flotemode) return n->flote == v;
  if (lintmode) return n->lint == v;
  return n->size == 1 && n->head->value == v;
}

::testing::AssertionResult fail(const std::string& why, quoly q) {
  std::string text = q->numb ? "a number" : show_poly(q->numer);
  if (!q->numb && q->denom != nullptr) text += "  /  " + show_poly(q->denom);
  return ::testing::AssertionFailure() << why << ": " << text;
}

}  // namespace

::testing::AssertionResult normal_value(quoly q, bool coprime_check) {
  if (q == nullptr) return ::testing::AssertionFailure() << "nil value";
  if (q->numb) {
    if (q->ncoef == nullptr) return ::testing::AssertionFailure() << "number value without number";
    if (modularmode && (q->ncoef->lint < 0 || q->ncoef->lint >= modulus))
      return ::testing::AssertionFailure() << "residue out of range";
    if (!flotemode && !lintmode) {
      auto ok = valid_bigint(q->ncoef);
      if (!ok) return ok;
    }
    if (q->arr_arg) return ::testing::AssertionFailure() << "a number result with arr_arg set";
    return ::testing::AssertionSuccess();
  }
  if (q->numer == nullptr) return ::testing::AssertionFailure() << "no numerator";
  if (auto ok = valid_poly(q->numer); !ok) return ok;
  poly d = q->denom;
  if (d != nullptr) {
    if (auto ok = valid_poly(d); !ok) return ok;
  }
  if (is_bare(q->numer) && number_is(q->numer->ncoef, 0)) return fail("a zero quotient", q);
  if (d == nullptr) {
    if (is_bare(q->numer)) return fail("a constant that is not a number value", q);
    if (q->rat) return fail("rat without a denominator", q);
  } else {
    if (is_bare(d) && number_is(d->ncoef, 1)) return fail("denominator 1", q);
    if (is_bare(d) && number_is(d->ncoef, 0)) return fail("denominator 0", q);
  }
  const bool word = lintmode || flotemode;
  if (word) {
    if (q->rat) return fail("rat in word-size arithmetic", q);
    if (d != nullptr) {
      if (is_bare(d)) return fail("a constant denominator in word-size arithmetic", q);
      if (!number_is(lead_number(d), 1)) return fail("denominator not monic", q);
    }
  } else if (d != nullptr) {
    if (q->rat != (is_bare(q->numer) && is_bare(d))) return fail("rat flag wrong", q);
    const RefPoly num = read_poly(q->numer), den = read_poly(d);
    if (den.terms().rbegin()->second.negative()) return fail("negative leading number", q);
    BigRef g(0);
    for (const auto& [e, c] : num.terms()) g = BigRef::gcd(g, c);
    for (const auto& [e, c] : den.terms()) g = BigRef::gcd(g, c);
    if (g != BigRef(1)) return fail("integer contents not coprime", q);
  }
  if (laurent && d != nullptr && !flotemode) {
    const RefPoly den = read_poly(d);
    for (int v = 0; v < den.nvars(); ++v) {
      std::int32_t low = 1 << 30;
      for (const auto& [e, c] : den.terms()) low = std::min(low, e[static_cast<std::size_t>(v)]);
      if (low != 0) return fail("a monomial factor or negative exponent in the denominator", q);
    }
  }
  // (In Laurent mode the GCD would need the shifts: not checked there.)
  if (coprime_check && !laurent && d != nullptr && !is_bare(d)) {
    poly g = nullptr;
    alg_c_count = 0;
    original_depth = 1;
    polygcd(q->numer, d, &g, polynames);
    const bool constant = g != nullptr && is_bare(g);
    free_poly(&g);
    if (!constant) return fail("numerator and denominator not coprime", q);
  }
  return ::testing::AssertionSuccess();
}

std::pair<RefPoly, RefPoly> value_parts(quoly q) {
  const int n = number_polys;
  if (q->numb) return {RefPoly::constant(n, number_value(q->ncoef)), RefPoly::constant(n, 1)};
  return {read_poly(q->numer), q->denom != nullptr ? read_poly(q->denom) : RefPoly::constant(n, 1)};
}

std::optional<RatRef> value_at(quoly q, const std::vector<RatRef>& point) {
  if (q->numb) return RatRef(number_value(q->ncoef));
  const RefPoly num = read_poly(q->numer);
  if (q->denom == nullptr) return evaluate(num, point);
  return evaluate(num, read_poly(q->denom), point);
}

namespace {

// a^-1 modulo p (a not 0 modulo p), by extended Euclid.
std::int64_t inverse_mod_p(std::int64_t a, std::int64_t p) {
  std::int64_t r0 = p, r1 = ((a % p) + p) % p, s0 = 0, s1 = 1;
  while (r1 != 0) {
    const std::int64_t k = r0 / r1;
    std::int64_t t = r0 - k * r1;
    r0 = r1;
    r1 = t;
    t = s0 - k * s1;
    s0 = s1;
    s1 = t;
  }
  return ((s0 % p) + p) % p;
}

// p at an integer point, reduced modulo m.
std::int64_t poly_mod_at(poly q, const std::vector<std::int64_t>& point, std::int64_t m) {
  std::vector<RatRef> at(point.begin(), point.end());
  const BigRef v = evaluate(read_poly(q), at).num() % BigRef(m);
  return (v.to_int64() + m) % m;
}

}  // namespace

std::optional<std::int64_t> value_mod_at(quoly q, const std::vector<std::int64_t>& point,
                                         std::int64_t p) {
  if (q->numb) return q->ncoef->lint;
  const std::int64_t n = poly_mod_at(q->numer, point, p);
  if (q->denom == nullptr) return n;
  const std::int64_t d = poly_mod_at(q->denom, point, p);
  if (d == 0) return std::nullopt;
  return n * inverse_mod_p(d, p) % p;
}

std::string value_text(quoly q) {
  if (q->numb) return "number " + number_value(q->ncoef).to_decimal();
  std::string s = show_poly(q->numer);
  if (q->denom != nullptr) s += " / " + show_poly(q->denom);
  if (q->rat) s += " rat";
  return s;
}

std::string value_shape(quoly q) {
  if (q->numb) {
    std::string s = "number " + std::to_string(reinterpret_cast<std::uintptr_t>(q->ncoef));
    if (!lintmode && !flotemode)
      for (numptr l = q->ncoef->head; l != nullptr; l = l->next)
        s += " " + std::to_string(reinterpret_cast<std::uintptr_t>(l)) + ":" +
             std::to_string(l->value);
    return s;
  }
  return node_shape(q->numer) + " | " + (q->denom ? node_shape(q->denom) : "nil");
}

Value copy_of(quoly q) {
  Value r;
  quoly_assign(q, r.cell());
  return r;
}

Value make_value(const std::string& s) {
  const auto slash = s.find(" / ");
  Value v = slash == std::string::npos ? Value::ratfun(s)
                                       : Value::ratfun(s.substr(0, slash), s.substr(slash + 3));
  check_quoly(v.cell(), false);
  return v;
}

}  // namespace tavrin::test
