// The identity H Abar = gamma A checked modulo transform primes: the
// polynomials packed into one transform each (Kronecker's substitution,
// each variable's width above its degree in every product), the spectra
// compared. Modulo a word prime this costs a few transforms of the degree
// box, where an image of Brown's method costs the whole interpolation.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/interrupts.h"
#include "numbers/ntt.h"
#include "numbers/primes.h"
#include "numbers/word_field.h"
#include "numbers/zint.h"
#include "gcd/flat/flat_gcd_impl.h"

namespace tavrin::flat {

namespace {

using kit::TransformPrime;

// The longest transform of the check, and its primes: c 2^22 + 1 between
// 2^29 and 2^30, largest first, each adding 29 bits or more to a modulus
// (those of 2^23 | p - 1 take transforms of 2^23).
constexpr int check_lg = 22, longest_lg = 23;

std::vector<TransformPrime>& check_primes() {
  static std::vector<TransformPrime> primes = [] {
    std::vector<TransformPrime> ps;
    for (std::uint32_t c = (1u << (30 - check_lg)) - 1; c >= 1u << (29 - check_lg); --c) {
      const std::uint32_t p = (c << check_lg) + 1;
      if (!is_word_prime(p)) continue;
      int k = check_lg;
      while (((p - 1) >> (k + 1) << (k + 1)) == p - 1) ++k;
      ps.emplace_back(p, k);
    }
    return ps;
  }();
  return primes;
}

// The spectrum of the polynomial with keys `key` and residues r times s,
// its variables packed by `stride` into a transform of length 2^lg.
void spectrum(const Layout& lay, const std::vector<std::uint64_t>& key,
              const std::vector<std::uint32_t>& r, std::uint32_t s,
              const std::vector<std::size_t>& stride, int lg, const TransformPrime& P,
              std::vector<std::uint32_t>* out) {
  const WordField f(P.p());
  out->assign(std::size_t{1} << lg, 0);
  for (std::size_t i = 0; i < r.size(); ++i) {
    std::size_t at = 0;
    for (int l = 0; l < lay.nvars; ++l)
      at += static_cast<std::size_t>(lay.exponent(key[i], l)) * stride[static_cast<std::size_t>(l)];
    (*out)[at] = f.mul(r[i], s);
  }
  kit::ntt_forward(out->data(), lg, P);
}

std::vector<std::int32_t> degrees(const Layout& lay, const std::vector<std::uint64_t>& key) {
  std::vector<std::int32_t> d(static_cast<std::size_t>(lay.nvars), 0);
  for (std::uint64_t k : key)
    for (int l = 0; l < lay.nvars; ++l)
      d[static_cast<std::size_t>(l)] = std::max(d[static_cast<std::size_t>(l)], lay.exponent(k, l));
  return d;
}

}  // namespace

std::size_t product_check_primes() { return check_primes().size(); }

bool products_agree(const Layout& lay, const ProductSide& h, const std::vector<ProductSide>& bars,
                    const std::vector<const Poly<imptr>*>& as, const ZInt& gamma,
                    std::size_t primes) {
  auto& all = check_primes();
  if (primes > all.size()) return false;
  // the strides: each variable's width its degree in every product and operand, plus one
  const std::vector<std::int32_t> dh = degrees(lay, *h.key);
  std::vector<std::int32_t> width(static_cast<std::size_t>(lay.nvars), 1);
  for (std::size_t j = 0; j < bars.size(); ++j) {
    const std::vector<std::int32_t> db = degrees(lay, *bars[j].key), da = degrees(lay, as[j]->key);
    for (std::size_t l = 0; l < width.size(); ++l)
      width[l] = std::max({width[l], dh[l] + db[l] + 1, da[l] + 1});
  }
  std::vector<std::size_t> stride;
  std::size_t n = 1;
  for (std::int32_t w : width) {
    stride.push_back(n);
    n *= static_cast<std::size_t>(w);
    if (n > std::size_t{1} << longest_lg) return false;
  }
  int lg = kit::ntt_min_lg;
  while ((std::size_t{1} << lg) < n) ++lg;
  std::vector<TransformPrime*> use;
  for (TransformPrime& P : all)
    if (use.size() < primes && ((P.p() - 1) & ((std::uint32_t{1} << lg) - 1)) == 0)
      use.push_back(&P);
  if (use.size() < primes) return false;
  std::vector<std::uint32_t> sh, sb, sa, r;
  for (TransformPrime* Pk : use) {
    check_interrupt();
    TransformPrime& P = *Pk;
    P.prepare(lg);
    const std::uint32_t p = P.p();
    const WordField f(p);
    const auto residues = [&](const std::vector<ZInt>& xs) {
      r.clear();
      for (const ZInt& x : xs) r.push_back(x.mod_word(p));
      return r;
    };
    spectrum(lay, *h.key, residues(*h.value), 1, stride, lg, P, &sh);
    // the pointwise products carry 2^-32 (Montgomery's): gamma A too
    const auto two32 = static_cast<std::uint32_t>((std::uint64_t{1} << 32) % p);
    const std::uint32_t s = f.mul(gamma.mod_word(p), power_modulo(two32, p - 2, p));
    for (std::size_t j = 0; j < bars.size(); ++j) {
      spectrum(lay, *bars[j].key, residues(*bars[j].value), 1, stride, lg, P, &sb);
      r.clear();
      for (imptr c : as[j]->coef) r.push_back(number_residue(c, f));
      spectrum(lay, as[j]->key, r, s, stride, lg, P, &sa);
      kit::ntt_pointwise(sh.data(), sb.data(), nullptr, nullptr, sb.data(), sb.size(), P);
      for (std::size_t i = 0; i < sb.size(); ++i)
        if (kit::below_p(sb[i], p) != kit::below_p(sa[i], p)) return false;
    }
  }
  return true;
}

}  // namespace tavrin::flat
