#include "support/refpoly.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

namespace tavrin::test {

RefPoly RefPoly::constant(int nvars, const BigRef& c) {
  RefPoly r(nvars);
  r.add_term(Exps(static_cast<std::size_t>(nvars), 0), c);
  return r;
}

RefPoly RefPoly::variable(int nvars, int index, std::int32_t e) {
  RefPoly r(nvars);
  Exps x(static_cast<std::size_t>(nvars), 0);
  x[static_cast<std::size_t>(index)] = e;
  r.add_term(x, BigRef(1));
  return r;
}

void RefPoly::add_term(const Exps& e, const BigRef& c) {
  if (c.is_zero()) return;
  auto it = terms_.find(e);
  if (it == terms_.end()) {
    terms_.emplace(e, c);
    return;
  }
  it->second = it->second + c;
  if (it->second.is_zero()) terms_.erase(it);
}

BigRef RefPoly::coefficient(const Exps& e) const {
  auto it = terms_.find(e);
  return it == terms_.end() ? BigRef(0) : it->second;
}

RefPoly operator+(const RefPoly& a, const RefPoly& b) {
  RefPoly r = a;
  for (const auto& [e, c] : b.terms_) r.add_term(e, c);
  return r;
}

RefPoly RefPoly::operator-() const {
  RefPoly r(nvars_);
  for (const auto& [e, c] : terms_) r.terms_.emplace(e, -c);
  return r;
}

RefPoly operator-(const RefPoly& a, const RefPoly& b) { return a + (-b); }

RefPoly operator*(const RefPoly& a, const RefPoly& b) {
  RefPoly r(a.nvars_);
  for (const auto& [ea, ca] : a.terms_) {
    for (const auto& [eb, cb] : b.terms_) {
      RefPoly::Exps e(ea.size());
      for (std::size_t i = 0; i < e.size(); ++i) e[i] = ea[i] + eb[i];
      r.add_term(e, ca * cb);
    }
  }
  return r;
}

RefPoly RefPoly::pow(unsigned k) const {
  RefPoly r = constant(nvars_, BigRef(1));
  for (unsigned i = 0; i < k; ++i) r = r * *this;
  return r;
}

RefPoly RefPoly::reduced_mod(const BigRef& m) const {
  RefPoly r(nvars_);
  for (const auto& [e, c] : terms_) {
    BigRef v = c % m;
    if (v.negative()) v = v + m;
    r.add_term(e, v);
  }
  return r;
}

RefPoly RefPoly::scaled(const BigRef& c) const {
  RefPoly r(nvars_);
  for (const auto& [e, v] : terms_) r.add_term(e, v * c);
  return r;
}

std::string RefPoly::to_string(const std::vector<std::string>& names) const {
  if (terms_.empty()) return "0";
  std::string s;
  for (auto it = terms_.rbegin(); it != terms_.rend(); ++it) {
    const auto& [e, c] = *it;
    const bool neg = c.negative();
    if (s.empty()) {
      if (neg) s += "-";
    } else {
      s += neg ? " - " : " + ";
    }
    std::string mono;
    for (std::size_t i = 0; i < e.size(); ++i) {
      if (e[i] == 0) continue;
      if (!mono.empty()) mono += "*";
      mono += i < names.size() ? names[i] : "v" + std::to_string(i + 1);
      if (e[i] != 1) mono += "^" + std::to_string(e[i]);
    }
    const BigRef a = c.abs();
    if (mono.empty()) {
      s += a.to_decimal();
    } else if (a == BigRef(1)) {
      s += mono;
    } else {
      s += a.to_decimal() + "*" + mono;
    }
  }
  return s;
}

// ---- Other coefficient rings ---------------------------------------------------------

std::uint32_t gf2_mul(std::uint32_t a, std::uint32_t b, int field_size) {
  const std::uint32_t poly = field_size == 256 ? 0x11Du : 0x1100Bu;
  const std::uint32_t top = static_cast<std::uint32_t>(field_size);
  std::uint32_t r = 0;
  while (b != 0) {
    if (b & 1u) r ^= a;
    b >>= 1;
    a <<= 1;
    if (a & top) a ^= poly;
  }
  return r;
}

RefPoly gf2_sum(const RefPoly& a, const RefPoly& b) {
  RefPoly r = a;
  for (const auto& [e, c] : b.terms()) {
    const std::uint32_t x = static_cast<std::uint32_t>(r.coefficient(e).to_int64());
    const std::uint32_t y = static_cast<std::uint32_t>(c.to_int64());
    r.add_term(e, BigRef(std::int64_t{x ^ y}) - BigRef(std::int64_t{x}));
  }
  return r;
}

RefPoly gf2_product(const RefPoly& a, const RefPoly& b, int field_size) {
  RefPoly r(a.nvars());
  for (const auto& [ea, ca] : a.terms()) {
    for (const auto& [eb, cb] : b.terms()) {
      RefPoly::Exps e(ea.size());
      for (std::size_t i = 0; i < e.size(); ++i) e[i] = ea[i] + eb[i];
      RefPoly one(a.nvars());
      one.add_term(
          e, BigRef(std::int64_t{gf2_mul(static_cast<std::uint32_t>(ca.to_int64()),
                                         static_cast<std::uint32_t>(cb.to_int64()), field_size)}));
      r = gf2_sum(r, one);
    }
  }
  return r;
}

RefPoly wrapped32(const RefPoly& a) {
  RefPoly r(a.nvars());
  const BigRef m = BigRef::pow2(32);
  for (const auto& [e, c] : a.terms()) {
    BigRef v = c % m;
    if (v.negative()) v = v + m;
    if (v >= BigRef::pow2(31)) v = v - m;
    r.add_term(e, v);
  }
  return r;
}

// ---- Parsing ----------------------------------------------------------------------

namespace {

// expr := ["-"] term {("+" | "-") term}; term := power {"*" power};
// power := atom ["^" ["-"] integer]; atom := integer | name | "(" expr ")".
class Parser {
 public:
  Parser(const std::string& text, const std::vector<std::string>& vars)
      : s_(text), vars_(vars), n_(static_cast<int>(vars.size())) {}

  RefPoly parse() {
    RefPoly r = expr();
    skip();
    if (pos_ != s_.size()) fail("unexpected text");
    return failed_ ? RefPoly(n_) : r;
  }

 private:
  void skip() {
    while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_]))) ++pos_;
  }
  bool accept(char c) {
    skip();
    if (pos_ < s_.size() && s_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  void fail(const std::string& why) {
    if (!failed_) ADD_FAILURE() << "cannot parse \"" << s_ << "\" at " << pos_ << ": " << why;
    failed_ = true;
    pos_ = s_.size();
  }
  std::string digits() {
    skip();
    std::string d;
    while (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_]))) d += s_[pos_++];
    if (d.empty()) fail("a number was expected");
    return d;
  }

  RefPoly expr() {
    RefPoly r = accept('-') ? -term() : term();
    for (;;) {
      if (accept('+')) {
        r = r + term();
      } else if (accept('-')) {
        r = r - term();
      } else {
        return r;
      }
    }
  }

  RefPoly term() {
    RefPoly r = power();
    while (accept('*')) r = r * power();
    return r;
  }

  RefPoly power() {
    int var = -1;
    RefPoly base = atom(&var);
    if (!accept('^')) return base;
    const bool neg = accept('-');
    const std::string d = digits();
    if (failed_) return RefPoly(n_);
    const long e = std::stol(d);
    if (var >= 0) return RefPoly::variable(n_, var, static_cast<std::int32_t>(neg ? -e : e));
    if (neg) {
      fail("a negative power of an expression");
      return RefPoly(n_);
    }
    return base.pow(static_cast<unsigned>(e));
  }

  // *var := the variable's index when the atom is a bare name.
  RefPoly atom(int* var) {
    skip();
    if (accept('(')) {
      RefPoly r = expr();
      if (!accept(')')) fail("')' was expected");
      return r;
    }
    if (pos_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[pos_])))
      return RefPoly::constant(n_, BigRef::from_decimal(digits()));
    std::string name;
    while (pos_ < s_.size() &&
           (std::isalnum(static_cast<unsigned char>(s_[pos_])) || s_[pos_] == '_'))
      name += s_[pos_++];
    auto it = std::find(vars_.begin(), vars_.end(), name);
    if (name.empty() || it == vars_.end()) {
      fail("unknown name '" + name + "'");
      return RefPoly(n_);
    }
    *var = static_cast<int>(it - vars_.begin());
    return RefPoly::variable(n_, *var);
  }

  const std::string& s_;
  const std::vector<std::string>& vars_;
  int n_;
  std::size_t pos_ = 0;
  bool failed_ = false;
};

}  // namespace

RefPoly parse_ref(const std::string& text, const std::vector<std::string>& vars) {
  return Parser(text, vars).parse();
}

RefPoly random_refpoly(std::mt19937_64& rng, int nvars, int max_terms, int max_exp, int max_limbs) {
  std::uniform_int_distribution<int> pick(0, 99);
  RefPoly r(nvars);
  const int shape = pick(rng);
  if (shape < 5) return r;  // zero
  const int terms = shape < 15 ? 1 : std::uniform_int_distribution<int>(1, max_terms)(rng);
  // Each level is either absent (exponent 0 throughout, so pads arise) or used.
  std::vector<bool> used(static_cast<std::size_t>(nvars));
  for (int i = 0; i < nvars; ++i) used[static_cast<std::size_t>(i)] = pick(rng) < 70;
  std::uniform_int_distribution<int> ex(0, max_exp);
  for (int k = 0; k < terms; ++k) {
    RefPoly::Exps e(static_cast<std::size_t>(nvars), 0);
    if (shape >= 10) {  // shapes 5..9: a constant
      for (int i = 0; i < nvars; ++i)
        if (used[static_cast<std::size_t>(i)]) e[static_cast<std::size_t>(i)] = ex(rng);
    }
    r.add_term(e, random_big(rng, max_limbs));
  }
  return r;
}

}  // namespace tavrin::test
