#include "support/dense_ref.h"

#include <algorithm>
#include <sstream>

#include "support/poly_build.h"
#include "support/poly_support.h"

namespace tavrin::test {

RefField::RefField(std::int64_t p) : p_(p), char2_(p == 256 || p == 65536) {}

namespace {

bool is_residue(std::int64_t a, std::int64_t p) { return a >= 0 && a < p; }

}  // namespace

std::int64_t RefField::add(std::int64_t a, std::int64_t b) const {
  if (char2_) return a ^ b;
  if (is_residue(a, p_) && is_residue(b, p_)) return a + b >= p_ ? a + b - p_ : a + b;
  return (a + b) % p_;
}

std::int64_t RefField::sub(std::int64_t a, std::int64_t b) const {
  if (char2_) return a ^ b;
  if (is_residue(a, p_) && is_residue(b, p_)) return a >= b ? a - b : a - b + p_;
  return ((a - b) % p_ + p_) % p_;
}

namespace {

// Carry-less product in GF(2^bits), reduced bit by bit by the field
// polynomial.
std::int64_t char2_product(std::int64_t a, std::int64_t b, int bits, std::int64_t field_poly) {
  std::int64_t r = 0;
  for (int k = bits - 1; k >= 0; --k) {
    r <<= 1;
    if ((r >> bits) != 0) r ^= field_poly;
    if ((b >> k) & 1) r ^= a;
  }
  return r;
}

// Every product of GF(2^8), from the bit-by-bit product, filled once.
const std::vector<std::uint8_t>& gf256_products() {
  static const std::vector<std::uint8_t> table = [] {
    std::vector<std::uint8_t> t(256 * 256);
    for (std::int64_t a = 0; a < 256; ++a)
      for (std::int64_t b = 0; b < 256; ++b)
        t[static_cast<std::size_t>(a * 256 + b)] =
            static_cast<std::uint8_t>(char2_product(a, b, 8, 0x11D));
    return t;
  }();
  return table;
}

}  // namespace

std::int64_t RefField::mul(std::int64_t a, std::int64_t b) const {
  if (!char2_) {
    if (p_ <= (std::int64_t{1} << 32))  // a*b below 2^64
      return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) *
                                       static_cast<std::uint64_t>(b) %
                                       static_cast<std::uint64_t>(p_));
    return static_cast<std::int64_t>(static_cast<unsigned __int128>(a) * b % p_);
  }
  if (p_ == 256) return gf256_products()[static_cast<std::size_t>(a * 256 + b)];
  return char2_product(a, b, 16, 0x1100B);
}

std::int64_t RefField::inv(std::int64_t a) const {
  std::int64_t e = p_ - 2;  // the group order minus one
  std::int64_t base = a, r = 1;
  while (e > 0) {
    if (e & 1) r = mul(r, base);
    base = mul(base, base);
    e >>= 1;
  }
  return r;
}

std::int64_t ref_degree(const Coeffs& a) {
  for (std::int64_t i = static_cast<std::int64_t>(a.size()) - 1; i >= 0; --i)
    if (a[static_cast<std::size_t>(i)] != 0) return i;
  return -1;
}

Coeffs ref_trimmed(Coeffs a) {
  a.resize(static_cast<std::size_t>(ref_degree(a) + 1));
  return a;
}

Coeffs ref_mult(const RefField& f, const Coeffs& a, const Coeffs& b) {
  if (a.empty() || b.empty()) return {};
  Coeffs c(a.size() + b.size() - 1, 0);
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] == 0) continue;
    for (std::size_t j = 0; j < b.size(); ++j) c[i + j] = f.add(c[i + j], f.mul(a[i], b[j]));
  }
  return ref_trimmed(c);
}

Coeffs ref_add(const RefField& f, const Coeffs& a, const Coeffs& b) {
  Coeffs c(std::max(a.size(), b.size()), 0);
  for (std::size_t i = 0; i < c.size(); ++i)
    c[i] = f.add(i < a.size() ? a[i] : 0, i < b.size() ? b[i] : 0);
  return ref_trimmed(c);
}

Coeffs ref_sub(const RefField& f, const Coeffs& a, const Coeffs& b) {
  Coeffs c(std::max(a.size(), b.size()), 0);
  for (std::size_t i = 0; i < c.size(); ++i)
    c[i] = f.sub(i < a.size() ? a[i] : 0, i < b.size() ? b[i] : 0);
  return ref_trimmed(c);
}

void ref_divmod(const RefField& f, const Coeffs& a, const Coeffs& b0, Coeffs* q, Coeffs* r) {
  const Coeffs b = ref_trimmed(b0);
  Coeffs rem = ref_trimmed(a);
  const std::int64_t db = ref_degree(b);
  const std::int64_t lead_inv = f.inv(b.back());
  Coeffs quot(rem.size() >= b.size() ? rem.size() - b.size() + 1 : 0, 0);
  for (std::int64_t d = ref_degree(rem); d >= db; d = ref_degree(rem)) {
    const std::int64_t c = f.mul(rem[static_cast<std::size_t>(d)], lead_inv);
    quot[static_cast<std::size_t>(d - db)] = c;
    for (std::int64_t j = 0; j <= db; ++j) {
      auto& e = rem[static_cast<std::size_t>(d - db + j)];
      e = f.sub(e, f.mul(c, b[static_cast<std::size_t>(j)]));
    }
    rem = ref_trimmed(rem);
  }
  *q = ref_trimmed(quot);
  *r = ref_trimmed(rem);
}

Coeffs ref_monic(const RefField& f, Coeffs a) {
  a = ref_trimmed(a);
  if (a.empty()) return a;
  const std::int64_t li = f.inv(a.back());
  for (auto& c : a) c = f.mul(c, li);
  return a;
}

Coeffs ref_monic_gcd(const RefField& f, Coeffs a, Coeffs b) {
  a = ref_trimmed(a);
  b = ref_trimmed(b);
  while (!b.empty()) {
    Coeffs q, r;
    ref_divmod(f, a, b, &q, &r);
    a = std::move(b);
    b = std::move(r);
  }
  return ref_monic(f, a);
}

Coeffs ref_euclid_last_remainder(const RefField& f, Coeffs a, Coeffs b) {
  a = ref_trimmed(a);
  b = ref_trimmed(b);
  while (!b.empty()) {
    // a := a mod b in place.
    const auto db = static_cast<std::size_t>(ref_degree(b));
    const std::int64_t lead_inv = f.inv(b.back());
    std::int64_t da = ref_degree(a);
    while (da >= static_cast<std::int64_t>(db)) {
      const auto top = static_cast<std::size_t>(da);
      const std::int64_t c = f.mul(a[top], lead_inv);
      for (std::size_t j = 0; j <= db; ++j) {
        auto& e = a[top - db + j];
        e = f.sub(e, f.mul(c, b[j]));
      }
      while (da >= 0 && a[static_cast<std::size_t>(da)] == 0) --da;
    }
    a.resize(static_cast<std::size_t>(da + 1));
    std::swap(a, b);
  }
  return a;
}

Coeffs random_coeffs(std::mt19937_64& rng, const RefField& f, std::int64_t deg) {
  const std::int64_t p = f.p();
  auto any = [&] { return static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(p)); };
  auto edgy = [&]() -> std::int64_t {
    switch (rng() % 8) {
      case 0: return 0;
      case 1: return 1;
      case 2: return p - 1;
      default: return any();
    }
  };
  Coeffs a(static_cast<std::size_t>(deg + 1), 0);
  const int style = static_cast<int>(rng() % 4);  // 0 dense, 1 edgy, 2 sparse, 3 low zeros
  for (auto& c : a) {
    if (style == 0)
      c = any();
    else if (style == 1)
      c = edgy();
    else if (style == 2)
      c = (rng() % 5 == 0) ? any() : 0;
    else
      c = any();
  }
  if (style == 3) {
    const auto low = static_cast<std::size_t>(rng() % static_cast<std::uint64_t>(deg + 1));
    std::fill(a.begin(), a.begin() + static_cast<std::ptrdiff_t>(low), 0);
  }
  while (a.back() == 0) a.back() = any();
  return a;
}

void load_array(const Coeffs& a, std::int32_t* x, std::int64_t offset) {
  for (std::size_t i = 0; i < a.size(); ++i)
    x[static_cast<std::size_t>(offset) + i] = static_cast<std::int32_t>(a[i]);
}

Coeffs array_slice(const std::int32_t* x, std::int64_t from, std::int64_t to) {
  Coeffs a;
  for (std::int64_t i = from; i <= to; ++i) a.push_back(x[i]);
  return a;
}

poly coeffs_to_poly(const Coeffs& a0) {
  const Coeffs a = ref_trimmed(a0);
  if (a.size() <= 1) return make_leaf(BigRef(a.empty() ? 0 : a[0]));
  poly tail = a[0] != 0 ? make_leaf(BigRef(a[0])) : nullptr;
  for (std::size_t i = 1; i < a.size(); ++i) {
    if (a[i] == 0) continue;
    tail = term(static_cast<std::int32_t>(i), make_leaf(BigRef(a[i])), tail);
  }
  return tail;
}

Coeffs poly_to_coeffs(poly p) {
  if (p->numb) return ref_trimmed({p->ncoef->lint});
  Coeffs a(static_cast<std::size_t>(p->exp) + 1, 0);
  for (; p != nullptr; p = p->next) {
    if (p->numb) {
      a[0] = p->ncoef->lint;
    } else {
      a[static_cast<std::size_t>(p->exp)] = p->pcoef->ncoef->lint;
    }
  }
  return a;
}

std::string show_coeffs(const Coeffs& a) {
  std::ostringstream os;
  os << "deg " << ref_degree(a) << " [";
  for (std::size_t i = 0; i < a.size() && i < 40; ++i) os << (i ? ", " : "") << a[i];
  if (a.size() > 40) os << ", ...";
  os << "]";
  return os.str();
}

}  // namespace tavrin::test
