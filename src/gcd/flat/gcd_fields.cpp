// The fields of the flat GCD engines: the list of image primes and the
// logarithm tables of GF(2^8), GF(2^16) and of the
// extensions of small prime fields.
#include <cstdint>
#include <memory>
#include <vector>

#include "numbers/char2_field.h"
#include "numbers/primes.h"
#include "numbers/word_mod.h"
#include "gcd/flat/gcd_fields_impl.h"

namespace tavrin::flat {

namespace {

// The distinct prime factors of n.
std::vector<std::uint64_t> prime_factors_of(std::uint64_t n) {
  std::vector<std::uint64_t> f;
  for (std::uint64_t d = 2; d * d <= n; ++d) {
    if (n % d != 0) continue;
    f.push_back(d);
    while (n % d == 0) n /= d;
  }
  if (n > 1) f.push_back(n);
  return f;
}

// The ground field's arithmetic on digits: a prime m, or GF(2^8) / GF(2^16)
// on bit patterns.
struct Ground {
  std::uint32_t m;
  bool char2;
  std::uint32_t add(std::uint32_t a, std::uint32_t b) const {
    if (char2) return a ^ b;
    const std::uint32_t s = a + b;
    return s >= m ? s - m : s;
  }
  std::uint32_t neg(std::uint32_t a) const { return char2 || a == 0 ? a : m - a; }
  std::uint32_t mul(std::uint32_t a, std::uint32_t b) const {
    if (char2) return static_cast<std::uint32_t>(char2_mult(a, b, static_cast<std::int32_t>(m)));
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(a) * b % m);
  }
};

// Vectors of d digits, a0 + a1 t + ... , modulo a monic f of degree d.
struct Extension {
  Ground k;
  std::vector<std::uint32_t> f;  // f[0 .. d - 1]; f = t^d + f[d-1] t^(d-1) + ... + f[0]
  std::size_t d() const { return f.size(); }

  std::vector<std::uint32_t> times(const std::vector<std::uint32_t>& a,
                                   const std::vector<std::uint32_t>& b) const {
    const std::size_t n = d();
    std::vector<std::uint32_t> prod(2 * n, 0);
    for (std::size_t i = 0; i < n; ++i)
      for (std::size_t j = 0; j < n; ++j) prod[i + j] = k.add(prod[i + j], k.mul(a[i], b[j]));
    for (std::size_t i = 2 * n - 1; i >= n; --i) {  // t^n = -(f[n-1] t^(n-1) + ... + f[0])
      const std::uint32_t c = prod[i];
      if (c == 0) continue;
      prod[i] = 0;
      for (std::size_t j = 0; j < n; ++j)
        prod[i - n + j] = k.add(prod[i - n + j], k.neg(k.mul(c, f[j])));
    }
    prod.resize(n);
    return prod;
  }
  // a t, for d >= 2
  std::vector<std::uint32_t> times_t(const std::vector<std::uint32_t>& a) const {
    const std::size_t n = d();
    const std::uint32_t top = a[n - 1];
    std::vector<std::uint32_t> r(n, 0);
    for (std::size_t i = n - 1; i > 0; --i) r[i] = a[i - 1];
    if (top != 0)
      for (std::size_t j = 0; j < n; ++j) r[j] = k.add(r[j], k.neg(k.mul(top, f[j])));
    return r;
  }
  std::vector<std::uint32_t> power(std::vector<std::uint32_t> a, std::uint64_t e) const {
    std::vector<std::uint32_t> r(d(), 0);
    r[0] = 1;
    while (e > 0) {
      if ((e & 1u) != 0) r = times(r, a);
      a = times(a, a);
      e >>= 1;
    }
    return r;
  }
  std::uint32_t code(const std::vector<std::uint32_t>& a) const {
    std::uint32_t c = 0;
    for (std::size_t i = d(); i-- > 0;) c = c * k.m + a[i];
    return c;
  }
};

bool is_one(const std::vector<std::uint32_t>& a) {
  if (a[0] != 1) return false;
  for (std::size_t i = 1; i < a.size(); ++i)
    if (a[i] != 0) return false;
  return true;
}

// g (a vector) generates the multiplicative group of q elements.
bool generates(const Extension& e, const std::vector<std::uint32_t>& g, std::uint64_t q) {
  if (!is_one(e.power(g, q - 1))) return false;
  for (std::uint64_t r : prime_factors_of(q - 1))
    if (is_one(e.power(g, (q - 1) / r))) return false;
  return true;
}

// The tables of the field of q = (digit base)^d elements given by e and the
// generator g; digits in base b (the ground field's size).
std::shared_ptr<LogTables> build(const Extension& e, const std::vector<std::uint32_t>& g,
                                 std::uint32_t q, std::uint32_t b) {
  auto t = std::make_shared<LogTables>();
  t->q = q;
  t->ground = e.k.m;
  const std::uint32_t n1 = q - 1;
  std::vector<std::uint32_t> log_of(q, n1);  // vector code -> log
  std::vector<std::uint32_t> code_of(n1);    // log -> vector code
  std::vector<std::uint32_t> v(e.d(), 0);
  v[0] = 1;
  for (std::uint32_t k = 0; k < n1; ++k) {
    const std::uint32_t c = e.code(v);
    code_of[k] = c;
    log_of[c] = k;
    v = e.d() == 1 ? e.times(v, g) : e.times_t(v);
  }
  t->zech.resize(n1);
  t->out.assign(n1, 0);
  for (std::uint32_t k = 0; k < n1; ++k) {
    const std::uint32_t c = code_of[k];
    // 1 + g^k: digit 0 plus 1
    const std::uint32_t d0 = c % b;
    const std::uint32_t c1 = c - d0 + e.k.add(d0, 1);
    t->zech[k] = c1 == 0 ? n1 : log_of[c1];
    if (c < b) t->out[k] = c + 1;
  }
  t->in.assign(b, 0);
  for (std::uint32_t r = 1; r < b; ++r) t->in[r] = log_of[r] + 1;
  return t;
}

struct CachedTables {
  std::uint32_t m;
  std::uint32_t q;
  std::shared_ptr<const LogTables> t;
};

std::vector<CachedTables>& table_cache() {
  static std::vector<CachedTables> cache;
  return cache;
}

constexpr std::uint64_t largest_table = std::uint64_t{1} << 22;

}  // namespace

std::shared_ptr<const LogTables> log_tables_for(std::uint32_t m, std::uint64_t wanted) {
  const bool char2 = m == 256 || m == 65536;
  const std::uint32_t b = m;  // the digit base: the ground field's size
  std::uint64_t q = b;
  std::size_t d = 1;
  if (m != 65536) {
    while (q < wanted && q * b <= largest_table) {
      q *= b;
      ++d;
    }
  }
  if (!char2 && d == 1) return nullptr;  // a prime field that cannot be extended usefully
  for (const CachedTables& c : table_cache())
    if (c.m == m && c.q == q) return c.t;
  Extension e{Ground{m, char2}, {}};
  std::vector<std::uint32_t> g;
  if (d == 1) {
    e.f = {0};
    g = {2};  // x generates GF(2^16)
  } else {
    // t modulo a primitive f of degree d, f tried in a fixed pseudo-random order
    Rng rng(m * 131u + d);
    g.assign(d, 0);
    g[1] = 1;
    e.f.assign(d, 0);
    for (;;) {
      for (std::size_t i = 0; i < d; ++i) e.f[i] = static_cast<std::uint32_t>(rng.next() % b);
      if (e.f[0] == 0) continue;
      if (generates(e, g, q)) break;
    }
  }
  std::shared_ptr<const LogTables> t = build(e, g, static_cast<std::uint32_t>(q), b);
  table_cache().push_back({m, static_cast<std::uint32_t>(q), t});
  return t;
}

std::uint32_t image_prime(std::size_t k) { return word_prime(k); }

}  // namespace tavrin::flat
