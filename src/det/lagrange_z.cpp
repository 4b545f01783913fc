// The integer interpolation driver: determinants of integer polynomial
// matrices from their images modulo word primes, joined coefficient by
// coefficient by Garner's incremental Chinese remaindering in the symmetric
// range, until one more prime (the third or a later one) leaves every
// coefficient unchanged.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <map>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/garner.h"
#include "numbers/node_handles.h"
#include "numbers/primes.h"
#include "numbers/word_mod.h"
#include "poly/poly_repr.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_quot.h"
#include "toplevel/start_tables.h"
#include "det/lagrange.h"
#include "det/lagrange_impl.h"
#include "det/lagrange_ring.h"
#include "det/method_services.h"

namespace tavrin {

namespace lagrange {

bool z_answer(quolyptr q, bool found, const ZResult& det, std::int32_t nv, poly fct) {
  if (!found) {
    free_quoly(q);
    quoly_set(1, q);
    return false;
  }
  std::vector<std::int32_t> exps;
  std::vector<imptr> out;
  for (const auto& [k, s] : det) {
    exps.insert(exps.end(), k.begin(), k.end());
    out.push_back(s.to_number());
  }
  set_answer(q, write_poly(exps, out, nv));
  divide_out(q, fct);
  return true;
}

bool read_zcoef(imptr n, ZInt& c) {
  if (n->size == 0 || n->head == nullptr) return false;
  c = ZInt::from_number(n);
  return !c.is_zero();
}

namespace {

// The dense driver's primes: `prime` from 6 + (r AND 3), then `med_prime`.
struct Primes final : ZPrimes {
  std::int32_t i;
  bool from_prime = true;
  Primes() : i(6 + (lagrange_random() & 3)) {}
  std::uint32_t current() const override {
    need_data_file(from_prime ? data_file::pprods : data_file::primelist);
    return static_cast<std::uint32_t>(from_prime ? prime[i]->head->value : med_prime[i]);
  }
  bool advance() override {
    ++i;
    if (i % 10 == 0) i += lagrange_random() % 3;
    if (from_prime && i >= 605) {
      from_prime = false;
      i = 1285 + lagrange_random() % 5;
    }
    return from_prime || i < 2467;
  }
};

}  // namespace

bool z_crt(ZPrimes& primes, const ZImage& image, const ZBanners& banners, std::int32_t m,
           std::int32_t nv, std::int32_t top_var, std::int32_t this_deg, std::int32_t numprimes,
           ZResult& result, double proven_bits) {
  const bool proven = proven_bits >= 0;
  double prod_bits = 0;  // log2 of prod (proven route)
  // Garner's digits of every monomial met, digit j for the j-th prime (a
  // monomial met late has digits 0 before: its coefficient was 0 there).
  std::map<std::vector<std::int32_t>, std::vector<std::uint32_t>> X;
  Garner garner;
  std::int32_t count = 0;
  std::int64_t first_degree = -1;
  if (verbose) dumpitt(banners.rows, m, true, false, true);
  ++dumpitt_level;
  struct Close {
    ~Close() { decr_dumpitt(1, true, true); }
  } close;
  lagrange_counts total;
  for (;;) {
    check_interrupt();
    const std::uint32_t p = primes.current();
    // A fixed number of primes is joined by products of single words.
    if (numprimes > 0 && p >= (1u << 28)) return false;
    Flat<std::uint32_t> img;
    {
      ModulusGuard guard(static_cast<std::int32_t>(p));
      flotemode = false;
      lintmode = true;
      modularmode = true;
      if (verbose) dumpitt(banners.modular, static_cast<std::int32_t>(p), true, false, true);
      det_status s;
      {
        ScopedValue<bool> quiet(verbose, verbose && windy);
        lagrange_last.points = 0;
        s = image(this_deg, img);
      }
      total.points += lagrange_last.points;
      if (s != det_status::done) {
        if (verbose)
          dumpitt("Modular determinant method abandoned. ", static_cast<std::int32_t>(p), true,
                  false, true);
        return false;
      }
      ++count;
      if (verbose) {
        dumpitt("Number of primes used: ", count, true, false, false);
        if (this_deg >= 0) dumpitt(" Degree estimate: ", this_deg, false, false, false);
      }
      // Degree reuse after two primes agree.
      std::int64_t d = 0;
      if (top_var >= 0)
        for (std::size_t t = 0; t < img.c.size(); ++t)
          d = std::max<std::int64_t>(d, img.exp(t)[top_var]);
      if (count == 1) first_degree = d;
      if (count == 2 && this_deg == -1 && d == first_degree && d > 2 && !proven)
        this_deg = static_cast<std::int32_t>(d + 1);
    }
    // Garner: the next digit of every monomial; a coefficient keeps its
    // value in the symmetric range when the digit is 0 below half the
    // product so far or p - 1 above it.
    const std::size_t j = garner.size();
    garner.add_prime(p);
    bool unchanged = true;
    std::map<std::vector<std::int32_t>, std::uint32_t> res;
    for (std::size_t t = 0; t < img.c.size(); ++t)
      res.emplace(std::vector<std::int32_t>(img.exp(t), img.exp(t) + nv), img.c[t]);
    for (auto& [k, r] : res) X.try_emplace(k, j, 0u);
    for (auto& [k, x] : X) {
      const auto found = res.find(k);
      const std::uint32_t r = found == res.end() ? 0 : found->second;
      const std::uint32_t digit = garner.digit(j, r, x.data());
      const bool upper = garner.above_half(x.data(), j);
      if (!((digit == 0 && !upper) || (digit == p - 1 && upper))) unchanged = false;
      x.push_back(digit);
    }
    prod_bits += std::log2(static_cast<double>(p));
    // A fixed count stops there; the proven route at its bound; otherwise one
    // more prime must change nothing.
    if (proven          ? prod_bits > proven_bits
        : numprimes > 0 ? count >= numprimes
                        : count >= 3 && unchanged)
      break;
    if (!primes.advance()) return false;
  }
  total.primes = count;
  lagrange_last = total;
  result.clear();
  for (auto& [k, x] : X) {
    ZInt v = garner.symmetric(x.data());
    if (!v.is_zero()) result[k] = std::move(v);
  }
  return true;
}

std::vector<std::int64_t> degree_bounds(const std::vector<Flat<std::size_t>>& a, std::int32_t m,
                                        std::int32_t nv) {
  const auto n = static_cast<std::size_t>(m);
  std::vector<std::int64_t> bounds, D(n * n);
  for (std::int32_t v = 0; v < nv; ++v) {
    for (std::size_t c = 0; c < n; ++c)
      for (std::size_t r = 0; r < n; ++r) {
        const Flat<std::size_t>& e = a[c * n + r];
        D[r * n + c] = e.degree_in(v);
      }
    bounds.push_back(max_assignment(D, m));
  }
  return bounds;
}

namespace {

// The determinant over Z of the matrix a (coefficients indices into coefs)
// as monomial -> signed value; false: declined. proven_bits >= 0: the
// proven route (its primes, a bound on the coefficients).
bool z_det(const std::vector<Flat<std::size_t>>& a, const std::vector<ZInt>& coefs, std::int32_t m,
           std::int32_t nv, std::int32_t this_deg, ZResult& result, double proven_bits = -1) {
  std::int32_t top_var = -1;
  for (const auto& e : a)
    for (std::size_t t = 0; t < e.c.size(); ++t)
      for (std::int32_t k = 0; k < nv && (top_var < 0 || k < top_var); ++k)
        if (e.exp(t)[k] != 0) {
          top_var = k;
          break;
        }
  Primes table_primes;
  ProvenPrimes largest(m >= proven_small_primes_side);
  ZPrimes& primes = proven_bits >= 0 ? static_cast<ZPrimes&>(largest) : table_primes;
  // The proven route bounds each variable once, on the integer matrix
  // (evaluation and reduction raise no degree).
  std::vector<std::int64_t> bounds;
  if (proven_bits >= 0) bounds = degree_bounds(a, m, nv);
  const ZImage image = [&](std::int32_t deg, Flat<std::uint32_t>& img) {
    const auto p = static_cast<std::uint32_t>(modulus);
    std::vector<Flat<std::uint32_t>> r(a.size());
    for (std::size_t k = 0; k < a.size(); ++k)
      for (std::size_t t = 0; t < a[k].c.size(); ++t) {
        const std::uint32_t v = coefs[a[k].c[t]].mod_word(p);
        if (v != 0) r[k].push(a[k].exp(t), nv, v);
      }
    NumberMatrix nm(m);
    if (!nm.ok()) return det_status::declined;
    return mod_det(r, m, nv, deg, nm, true, img, bounds.empty() ? nullptr : &bounds);
  };
  const ZBanners banners{"LaGrange interpolation over Z, rows ",
                         "Modular Determinant method. Now in modular mode, modulus "};
  return z_crt(primes, image, banners, m, nv, top_var, this_deg, 0, result, proven_bits);
}

// log2(2^a + 2^b), -inf standing for 0.
long double log2_add(long double a, long double b) {
  if (a < b) std::swap(a, b);
  if (b == -std::numeric_limits<long double>::infinity()) return a;
  return a + std::log2(1.0L + std::exp2(b - a));
}

// An upper bound on log2 |c| (c not 0).
long double log2_above(const ZInt& c) {
  return 28.0L * static_cast<long double>(c.magnitude().size() - 1) +
         std::log2(static_cast<long double>(c.magnitude().back()) + 1.0L);
}

// Hadamard's bound (as ZRows::bound_bits) for the m x m matrix z of integer
// polynomials held column by column.
double hadamard_bits(const std::vector<Flat<std::size_t>>& z, const std::vector<ZInt>& coefs,
                     std::int32_t m) {
  const auto n = static_cast<std::size_t>(m);
  std::vector<long double> row(n, -std::numeric_limits<long double>::infinity()), col(row);
  for (std::size_t c = 0; c < n; ++c)
    for (std::size_t r = 0; r < n; ++r) {
      const Flat<std::size_t>& e = z[c * n + r];
      if (e.c.empty()) continue;
      long double norm = -std::numeric_limits<long double>::infinity();
      for (std::size_t k : e.c) norm = log2_add(norm, log2_above(coefs[k]));
      row[r] = log2_add(row[r], 2 * norm);
      col[c] = log2_add(col[c], 2 * norm);
    }
  long double by_rows = 0, by_cols = 0;
  for (std::size_t k = 0; k < n; ++k) {
    if (std::isinf(row[k]) || std::isinf(col[k])) return 1;
    by_rows += row[k] / 2;
    by_cols += col[k] / 2;
  }
  return static_cast<double>(std::max<long double>(0, std::min(by_rows, by_cols)) + 1);
}

}  // namespace

ProvenPrimes::ProvenPrimes(bool below_2_24) : small_(below_2_24) {}

std::uint32_t ProvenPrimes::current() const {
  return small_ ? word_prime(k_, std::uint32_t{1} << 24) : static_cast<std::uint32_t>(lrgpme[i_]);
}

bool ProvenPrimes::advance() {
  if (!small_) return --i_ >= 1;
  return word_prime(++k_, std::uint32_t{1} << 24) > (1u << 23);
}

bool ProvenPrimes::ready() { return lrgpme[1] > (1 << 30); }

ZRows::ZRows(std::int32_t m, std::int32_t nv)
    : nv_(nv),
      row_(static_cast<std::size_t>(m), -std::numeric_limits<long double>::infinity()),
      col_(static_cast<std::size_t>(m), -std::numeric_limits<long double>::infinity()) {}

ZRows::~ZRows() { free_quoly(&multipliers_); }

bool ZRows::read_row(std::int32_t r, const std::vector<std::pair<std::int32_t, quoly>>& cells,
                     const std::function<void(std::int32_t, Flat<std::size_t>&&)>& put) {
  // The row's multiplier: the least common multiple of its denominators,
  // integers and at most one polynomial (the row's common denominator, up
  // to integer factors).
  auto constant = [](poly p) {
    while (!p->numb && p->exp == 0 && p->next == nullptr) p = p->pcoef;
    return p->numb && p->next == nullptr ? p : nullptr;
  };
  // A copy of the polynomial p as a value.
  auto value_of = [&constant](poly p) {
    if (poly k = constant(p)) {
      imptr n = nullptr;
      newimag(&n);
      num_assign(k->ncoef, n);
      return nodes::new_number_value(n);
    }
    poly copy = nullptr;
    poly_assign(p, &copy);
    return nodes::new_ratfun_value(copy, nullptr);
  };
  nodes::OwnedValue mult;
  for (const auto& [c, q] : cells) {
    if (q == nullptr || q->numb || q->denom == nullptr) continue;
    if (mult.q == nullptr) quoly_set(1, mult.cell());
    nodes::OwnedValue d(value_of(q->denom)), ratio;
    quoly_quot(mult.q, d.q, ratio.cell(),
               false);  // in lowest terms: the part of d not in mult below
    if (ratio.q->numb || ratio.q->denom == nullptr) continue;
    if (constant(ratio.q->denom) == nullptr && !mult.q->numb) return false;  // a second polynomial
    nodes::OwnedValue extra(value_of(ratio.q->denom));
    fast_quoly_mult(mult.cell(), extra.cell());
  }
  for (const auto& [c, q] : cells) {
    if (q == nullptr) continue;
    nodes::OwnedValue scaled;
    quoly v = q;
    if (mult.q != nullptr) {
      quoly_assign(q, scaled.cell());
      scaled.q->next = nullptr;
      fast_quoly_mult(scaled.cell(), mult.cell());
      v = scaled.q;
    }
    if (!v->numb && v->denom != nullptr) return false;
    Flat<std::size_t> f;
    long double norm = -std::numeric_limits<long double>::infinity();
    const bool ok = read_entry(v, nv_, [&](const std::int32_t* x, imptr n) {
      ZInt k;
      if (!read_zcoef(n, k)) return;
      norm = log2_add(norm, log2_above(k));
      f.push(x, nv_, coefs.size());
      coefs.push_back(std::move(k));
    });
    if (!ok) return false;
    if (f.c.empty()) continue;
    row_[static_cast<std::size_t>(r)] = log2_add(row_[static_cast<std::size_t>(r)], 2 * norm);
    col_[static_cast<std::size_t>(c)] = log2_add(col_[static_cast<std::size_t>(c)], 2 * norm);
    put(c, std::move(f));
  }
  if (mult.q != nullptr) {
    if (multipliers_ == nullptr) quoly_set(1, &multipliers_);
    fast_quoly_mult(&multipliers_, mult.cell());
  }
  return true;
}

bool ZRows::read_stash_row(workptr ar, std::int32_t m, std::int32_t r,
                           const std::function<void(std::int32_t, Flat<std::size_t>&&)>& put) {
  std::vector<std::pair<std::int32_t, quoly>> cells;
  for (std::int32_t c = 0; c < m; ++c)
    cells.emplace_back(c, ar->stash[static_cast<std::size_t>(c) * static_cast<std::size_t>(m) +
                                    static_cast<std::size_t>(r)]);
  return read_row(r, cells, put);
}

double ZRows::bound_bits() const {
  // Hadamard: by rows and by columns; a row or column without entries
  // makes the determinant 0.
  long double by_rows = 0, by_cols = 0;
  for (std::size_t k = 0; k < row_.size(); ++k) {
    if (std::isinf(row_[k]) || std::isinf(col_[k])) return 0;
    by_rows += row_[k] / 2;
    by_cols += col_[k] / 2;
  }
  // Rounding in the logarithms is far below the bit added.
  return static_cast<double>(std::max<long double>(0, std::min(by_rows, by_cols)) + 1);
}

void ZRows::divide_by_multipliers(quolyptr q) {
  if (multipliers_ != nullptr) fast_quoly_quot(q, &multipliers_, false);
}

bool use_rat_poly_det(const std::vector<Flat<std::uint32_t>>& a, std::int32_t m, std::int32_t nv,
                      quolyptr q, bool proven) {
  if (finf || (proven && !ProvenPrimes::ready())) return false;
  std::vector<ZInt> coefs;
  std::vector<Flat<std::size_t>> z(a.size());
  for (std::size_t k = 0; k < a.size(); ++k)
    for (std::size_t t = 0; t < a[k].c.size(); ++t) {
      const std::uint32_t v = a[k].c[t];
      ZInt c(v);
      z[k].push(a[k].exp(t), nv, coefs.size());
      coefs.push_back(c);
    }
  ZResult det;
  if (!z_det(z, coefs, m, nv, -1, det, proven ? hadamard_bits(z, coefs, m) : -1)) return false;
  const auto p = static_cast<std::uint32_t>(modulus);
  std::vector<std::int32_t> exps;
  std::vector<imptr> out;
  for (auto& [k, s] : det) {
    const std::uint32_t r = s.mod_word(p);
    if (r == 0) continue;
    imptr x = nullptr;
    newimag(&x);
    x->lint = static_cast<std::int32_t>(r);
    x->flote = 0;
    exps.insert(exps.end(), k.begin(), k.end());
    out.push_back(x);
  }
  set_answer(q, write_poly(exps, out, nv));
  return true;
}

}  // namespace lagrange

using namespace lagrange;

bool rat_poly_determ(workptr ar, std::int16_t polydepth, std::int32_t m, quolyptr q,
                     bool check_laurent, poly fct, std::int32_t this_deg) {
  if (field_depth > 0 && polydepth >= field_depth) return false;
  if (field_depth > 0) return false;
  const std::int32_t nv = number_polys;
  std::vector<ZInt> coefs;
  std::vector<Flat<std::size_t>> z(static_cast<std::size_t>(m) * static_cast<std::size_t>(m));
  bool negative = false;
  for (std::size_t k = 0; k < z.size(); ++k) {
    auto& e = z[k];
    negative = !read_entry(ar->stash[k], nv, [&](const std::int32_t* x, imptr n) {
      ZInt c;
      if (!read_zcoef(n, c)) return;
      e.push(x, nv, coefs.size());
      coefs.push_back(std::move(c));
    }) || negative;
  }
  if (negative) {
    if (check_laurent) refuse_negative_exponents();
    return false;
  }
  ZResult det;
  const bool found = z_det(z, coefs, m, nv, this_deg, det);
  return z_answer(q, found, det, nv, fct);
}

bool rat_poly_surely_regular(workptr ar, std::int32_t m) {
  if (lintmode || field_depth > 0 || m < 1 || !ProvenPrimes::ready()) return false;
  const std::int32_t nv = number_polys;
  ZRows rows(m, nv);
  const ModField<false> f{static_cast<std::uint32_t>(lrgpme[2000])};
  // The point (x_1, x_2, ...) = (1000037, 2000074, ...).
  std::vector<std::uint32_t> point(static_cast<std::size_t>(std::max(nv, 1)));
  for (std::size_t v = 0; v < point.size(); ++v) point[v] = f.reduce(1000037 * (v + 1));
  std::vector<std::uint32_t> a(static_cast<std::size_t>(m) * static_cast<std::size_t>(m), 0);
  for (std::int32_t r = 0; r < m; ++r) {
    const bool ok = rows.read_stash_row(ar, m, r, [&](std::int32_t c, Flat<std::size_t>&& e) {
      std::uint32_t sum = 0;
      for (std::size_t t = 0; t < e.c.size(); ++t) {
        std::uint32_t term = rows.coefs[e.c[t]].mod_word(f.p);
        for (std::int32_t v = 0; v < nv; ++v)
          for (std::int32_t k = 0; k < e.exp(t)[v]; ++k)
            term = f.mul(term, point[static_cast<std::size_t>(v)]);
        sum = f.add(sum, term);
      }
      a[static_cast<std::size_t>(r) * static_cast<std::size_t>(m) + static_cast<std::size_t>(c)] =
          sum;
    });
    if (!ok) return false;
  }
  // Gaussian elimination modulo the prime: is a row of zeros ever met?
  const auto n = static_cast<std::size_t>(m);
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t r = i;
    while (r < n && a[r * n + i] == 0) ++r;
    if (r == n) return false;
    for (std::size_t c = 0; c < n; ++c) std::swap(a[i * n + c], a[r * n + c]);
    const std::uint32_t inv = f.inv(a[i * n + i]);
    for (std::size_t k = i + 1; k < n; ++k) {
      const std::uint32_t factor = f.mul(a[k * n + i], inv);
      if (factor == 0) continue;
      for (std::size_t c = i; c < n; ++c)
        a[k * n + c] = f.sub(a[k * n + c], f.mul(factor, a[i * n + c]));
    }
  }
  return true;
}

bool rat_poly_interpolated(workptr ar, std::int32_t m, quolyptr q) {
  if (verbose || lintmode || field_depth > 0 || m < 1 || lagrangedepth + 1 > lagrangecut ||
      !ProvenPrimes::ready())
    return false;
  const DepthLevel level;
  const std::int32_t nv = number_polys;
  ZRows rows(m, nv);
  std::vector<Flat<std::size_t>> z(static_cast<std::size_t>(m) * static_cast<std::size_t>(m));
  for (std::int32_t r = 0; r < m; ++r) {
    const bool ok = rows.read_stash_row(ar, m, r, [&](std::int32_t c, Flat<std::size_t>&& e) {
      z[static_cast<std::size_t>(c) * static_cast<std::size_t>(m) + static_cast<std::size_t>(r)] =
          std::move(e);
    });
    if (!ok) return false;
  }
  ZResult det;
  if (!z_det(z, rows.coefs, m, nv, -1, det, rows.bound_bits())) return false;
  nodes::OwnedValue value;
  if (!z_answer(value.cell(), true, det, nv, nullptr)) return false;
  rows.divide_by_multipliers(value.cell());
  fast_quoly_mult(q, value.cell());
  return true;
}

}  // namespace tavrin
