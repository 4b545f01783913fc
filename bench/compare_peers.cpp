// Tavrin's hot kernels side by side with peer libraries, in one run: each
// row times Tavrin and the peer on the same operands (medians of 7
// alternating runs), checks that both give the same answer and prints the
// ratio. GMP and FLINT are used when the build found them; Singular, a
// program, is timed by a script it runs itself (its own timer, best of 7),
// when `Singular` is on PATH. Peers serve this comparison only.
//
//   compare_peers [row-prefix]     e.g. compare_peers sparse
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <tuple>
#include <type_traits>
#include <unistd.h>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/base10.h"
#include "numbers/bigint.h"
#include "numbers/bigint_divide.h"
#include "numbers/bigint_multiply.h"
#include "numbers/factorial.h"
#include "numbers/freelists.h"
#include "numbers/integer_gcd.h"
#include "dense/dense_arrays.h"
#include "dense/dense_mult.h"
#include "poly/poly_add.h"
#include "poly/poly_divide.h"
#include "poly/poly_mult.h"
#include "poly/poly_power.h"
#include "poly/poly_repr.h"
#include "gcd/gcd.h"
#include "factor/factor.h"
#include "toplevel/number_literals.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/array_store.h"
#include "arrays/det_upcalls.h"
#include "matrix/int_char_poly.h"
#include "matrix/normal_forms.h"
#include "frontend/data_files.h"
#include "frontend/startup.h"
#include "bench_ring.h"
#include "peers.h"

#ifdef TAVRIN_PEER_GMP
#include <gmp.h>
#endif
#ifdef TAVRIN_PEER_FLINT
#include <flint/fmpz.h>
#include <flint/fmpz_mat.h>
#include <flint/fmpz_mpoly.h>
#include <flint/fmpz_poly.h>
#include <flint/nmod_mpoly.h>
#include <flint/nmod_poly.h>
#include <flint/nmod_poly_factor.h>
#endif

namespace {

using namespace tavrin;
using bench::run_singular;
using Clock = std::chrono::steady_clock;

using bench::wanted;

constexpr int reps = 7;

double ms_since(Clock::time_point t0) {
  return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

using bench::median;

// Times tavrin() and peer() alternately (peer may be empty), returns the
// medians in ms. Each callable does one complete operation.
std::pair<double, double> time_pair(const std::function<void()>& tavrin,
                                    const std::function<void()>& peer) {
  std::vector<double> a, b;
  tavrin();  // warm the pools and caches
  if (peer) peer();
  for (int i = 0; i < reps; ++i) {
    auto t0 = Clock::now();
    tavrin();
    a.push_back(ms_since(t0));
    if (peer) {
      t0 = Clock::now();
      peer();
      b.push_back(ms_since(t0));
    }
  }
  return {median(a), median(b)};
}

void report(const char* row, const char* size, double t, const char* peer, double p, bool same) {
  if (p > 0) {
    std::printf("%-34s %-22s %10.3f ms   %-9s %10.3f ms   %6.1fx  %s\n", row, size, t, peer, p,
                t / p, same ? "same" : "DIFFERENT");
  } else {
    std::printf("%-34s %-22s %10.3f ms   %-9s %10s\n", row, size, t, peer, "-");
  }
  std::fflush(stdout);
}

// ---- Numbers -----------------------------------------------------------------------

// base-2^28 digits, most significant first, top digit non-zero.
std::vector<std::int32_t> random_digits(std::mt19937_64& rng, int n) {
  std::vector<std::int32_t> d(static_cast<std::size_t>(n));
  for (auto& x : d) x = static_cast<std::int32_t>(rng() & (limb_base - 1));
  if (d[0] == 0) d[0] = 1;
  return d;
}

imptr number_of(const std::vector<std::int32_t>& d) { return bench::number_of_limbs(d); }

#ifdef TAVRIN_PEER_GMP
void mpz_of(mpz_t r, numptr p) {
  mpz_set_ui(r, 0);
  bool neg = false;
  for (; p != nullptr; p = p->next) {
    mpz_mul_2exp(r, r, 28);
    if (p->value < 0) neg = true;
    mpz_add_ui(r, r, static_cast<unsigned long>(std::abs(p->value)));
  }
  if (neg) mpz_neg(r, r);
}
bool same_number(imptr x, const mpz_t y) {
  mpz_t t;
  mpz_init(t);
  mpz_of(t, x->head);
  const bool s = mpz_cmp(t, y) == 0;
  mpz_clear(t);
  return s;
}
#endif

std::string decimal_of_groups(imptr d);

// ---- Big-integer kernels ------------------------------------------------------------
//
// Every kernel at 10, 100, 1,000 and 10,000 limbs and at the longest numbers
// (32,767 limbs), Tavrin and GMP alternately in processor time (medians).
// Each timing is a batch of operations long enough to measure (the same
// batch for both), so the ratio compares the cost of one operation.

// The limbs of x as most-significant-first magnitudes, for mpz_import.
std::vector<std::uint32_t> magnitudes_of(imptr x) {
  std::vector<std::uint32_t> d;
  d.reserve(static_cast<std::size_t>(x->size));
  for (numptr p = x->head; p != nullptr; p = p->next)
    d.push_back(static_cast<std::uint32_t>(std::abs(p->value)));
  return d;
}

#ifdef TAVRIN_PEER_GMP
// r := x exactly (28-bit limbs imported with four nail bits).
void mpz_from(mpz_t r, imptr x) {
  const std::vector<std::uint32_t> d = magnitudes_of(x);
  mpz_import(r, d.size(), 1, sizeof(std::uint32_t), 0, 4, d.data());
  if (x->head->value < 0) mpz_neg(r, r);
}
bool equal_to(imptr x, const mpz_t y) {
  mpz_t t;
  mpz_init(t);
  mpz_from(t, x);
  const bool s = mpz_cmp(t, y) == 0;
  mpz_clear(t);
  return s;
}
#endif

// One row: ours() and peer() each do one operation; the batch is chosen from
// one run of ours so that a timing lasts about 20 ms.
void integer_row(const char* name, const std::string& size, const std::function<void()>& ours,
                 const std::function<void()>& peer, const std::function<bool()>& same) {
  double t1 = bench::cpu_seconds();
  ours();
  t1 = bench::cpu_seconds() - t1;
  const int batch = static_cast<int>(std::clamp(0.02 / std::max(t1, 1e-8), 1.0, 200000.0));
  bench::PairTiming how;
  how.reps = 7;
  auto [t, p] = bench::time_pair(
      [&] {
        for (int i = 0; i < batch; ++i) ours();
      },
      peer ? std::function<void()>([&] {
        for (int i = 0; i < batch; ++i) peer();
      })
           : std::function<void()>(),
      how);
  const double us = 1e6 * t / batch, peer_us = 1e6 * p / batch;
  if (peer) {
    std::printf("%-34s %-22s %10.3f us   %-9s %10.3f us   %6.2fx  %s\n", name, size.c_str(), us,
                "GMP", peer_us, us / peer_us, same() ? "same" : "DIFFERENT");
  } else {
    std::printf("%-34s %-22s %10.3f us\n", name, size.c_str(), us);
  }
  std::fflush(stdout);
}

// A positive number of exactly n random limbs.
imptr random_number(std::mt19937_64& rng, int n) { return number_of(random_digits(rng, n)); }

void integer_rows() {
  std::mt19937_64 rng(11);
  constexpr int longest = 32767;
  const int sizes[] = {10, 100, 1000, 10000, longest};
  imptr c, d;
  newimag(&c);
  newimag(&d);
  std::function<void()> peer;
  std::function<bool()> same = [] { return false; };
#ifdef TAVRIN_PEER_GMP
  mpz_t x, y, z, zr, u, v;
  mpz_inits(x, y, z, zr, u, v, nullptr);
#endif
  // Products: n by n limbs (at the longest, halves whose product fits).
  for (int n : sizes) {
    if (!wanted("int product")) break;
    const int na = n == longest ? 16384 : n, nb = n == longest ? 16383 : n;
    imptr a = random_number(rng, na), b = random_number(rng, nb);
#ifdef TAVRIN_PEER_GMP
    mpz_from(x, a);
    mpz_from(y, b);
    peer = [&] { mpz_mul(z, x, y); };
    same = [&] { return equal_to(c, z); };
#endif
    integer_row(
        "int product", std::to_string(na) + " x " + std::to_string(nb), [&] { fast_mult(a, b, c); },
        peer, same);
    free_imag(&a);
    free_imag(&b);
  }
  // Quotient and remainder: 2n by n limbs (at the longest, 32767 by 16383).
  for (int n : sizes) {
    if (!wanted("int quotient")) break;
    const int nn = n == longest ? longest : 2 * n, nd = n == longest ? 16383 : n;
    imptr a = random_number(rng, nn), b = random_number(rng, nd);
#ifdef TAVRIN_PEER_GMP
    mpz_from(x, a);
    mpz_from(y, b);
    peer = [&] { mpz_tdiv_qr(z, zr, x, y); };
    same = [&] { return equal_to(c, z) && equal_to(d, zr); };
#endif
    integer_row(
        "int quotient", std::to_string(nn) + " by " + std::to_string(nd),
        [&] { divide(a, b, c, d); }, peer, same);
    free_imag(&a);
    free_imag(&b);
  }
  // GCDs of n-limb operands with a common factor of a third of the length.
  for (int n : sizes) {
    if (!wanted("int gcd") && !wanted("int extgcd")) break;
    imptr g = random_number(rng, n / 3);
    imptr a = random_number(rng, n - n / 3), b = random_number(rng, n - n / 3);
    fast_mult(a, g, a);
    fast_mult(b, g, b);
    const std::string size = std::to_string(a->size) + " limbs";
#ifdef TAVRIN_PEER_GMP
    mpz_from(x, a);
    mpz_from(y, b);
#endif
    if (wanted("int gcd")) {
#ifdef TAVRIN_PEER_GMP
      peer = [&] { mpz_gcd(z, x, y); };
      same = [&] { return equal_to(c, z); };
#endif
      integer_row(
          "int gcd", size, [&] { binary_gcd(a, b, c); }, peer, same);
    }
    if (wanted("int extgcd")) {
      number qn{}, qm{};
      bool gcd1 = false;
      auto ours = [&] {
        if (qn.size > 0 && !gcd1) {
          special_free(&qn);
          special_free(&qm);
        }
        qn = number{};
        qm = number{};
        extgcd(a, b, c, &qn, &qm, &gcd1);
      };
#ifdef TAVRIN_PEER_GMP
      peer = [&] {
        mpz_gcd(z, x, y);
        mpz_divexact(u, x, z);
        mpz_divexact(v, y, z);
      };
      same = [&] { return equal_to(c, z) && equal_to(&qn, u) && equal_to(&qm, v); };
#endif
      integer_row("int extgcd (cofactors n/g, m/g)", size, ours, peer, same);
      if (qn.size > 0 && !gcd1) {
        special_free(&qn);
        special_free(&qm);
      }
    }
    free_imag(&a);
    free_imag(&b);
    free_imag(&g);
  }
  // Decimal conversion both ways: n limbs to groups of 8 digits, and the
  // digits of such a number back.
  for (int n : sizes) {
    if (!wanted("int to decimal") && !wanted("int from decimal")) break;
    imptr a = random_number(rng, n);
    verybig_base_10(a->head, a->tail, static_cast<std::int16_t>(n), d);
    const std::string digits = decimal_of_groups(d);
    const std::string size = std::to_string(n) + " limbs";
#ifdef TAVRIN_PEER_GMP
    mpz_from(x, a);
    std::vector<char> buf(digits.size() + 16);
#endif
    if (wanted("int to decimal")) {
#ifdef TAVRIN_PEER_GMP
      peer = [&] { mpz_get_str(buf.data(), 10, x); };
      same = [&] { return decimal_of_groups(d) == std::string(buf.data()); };
#endif
      integer_row(
          "int to decimal", size,
          [&] { verybig_base_10(a->head, a->tail, static_cast<std::int16_t>(n), d); }, peer, same);
    }
    if (wanted("int from decimal")) {
#ifdef TAVRIN_PEER_GMP
      peer = [&] { mpz_set_str(z, digits.c_str(), 10); };
      same = [&] { return equal_to(c, z) && spec_equal(c, a); };
#endif
      integer_row(
          "int from decimal", size, [&] { decimal_to_big(digits, c); }, peer, same);
    }
    free_imag(&a);
  }
#ifdef TAVRIN_PEER_GMP
  mpz_clears(x, y, z, zr, u, v, nullptr);
#endif
  free_imag(&c);
  free_imag(&d);
}

// ---- Small numbers and factorials -----------------------------------------------------

// The decimal digits of a base-10^8 number (groups most significant first).
std::string decimal_of_groups(imptr d) {
  std::string s = d->head->value < 0 ? "-" : "";
  s += std::to_string(std::abs(d->head->value));
  for (numptr q = d->head->next; q != nullptr; q = q->next) {
    char g[16];
    std::snprintf(g, sizeof g, "%08d", std::abs(q->value));
    s += g;
  }
  return s;
}

// The fixed cost of one operation on short numbers: each timing is a batch
// of `ops` operations on `pairs` operand pairs taken in turn, so the ratio
// compares the cost per operation.
void small_number_rows() {
  constexpr int pairs = 64;
  constexpr int ops = 20000;
  std::mt19937_64 rng(29);
  struct Operands {
    std::vector<imptr> a, b;
  };
  auto make = [&](int la, int lb, bool common) {
    Operands o;
    for (int k = 0; k < pairs; ++k) {
      auto da = random_digits(rng, la), db = random_digits(rng, lb);
      if (rng() & 1) da[0] = -da[0];
      if (rng() & 1) db[0] = -db[0];
      for (std::size_t i = 1; i < da.size(); ++i) da[i] = da[0] < 0 ? -da[i] : da[i];
      for (std::size_t i = 1; i < db.size(); ++i) db[i] = db[0] < 0 ? -db[i] : db[i];
      o.a.push_back(number_of(da));
      o.b.push_back(number_of(db));
      if (common) {  // a common factor of about a limb
        imptr c = number_of(random_digits(rng, 1));
        c->head->value >>= 8;
        if (c->head->value == 0) c->head->value = 3;
        fast_mult(o.a.back(), c, o.a.back());
        fast_mult(o.b.back(), c, o.b.back());
      }
    }
    return o;
  };
  imptr c, d;
  newimag(&c);
  newimag(&d);
  const std::string batch = std::to_string(ops) + " ops";
#ifdef TAVRIN_PEER_GMP
  std::vector<__mpz_struct> xs(pairs), ys(pairs);
  auto x = [&](int k) { return &xs[static_cast<std::size_t>(k)]; };
  auto y = [&](int k) { return &ys[static_cast<std::size_t>(k)]; };
  mpz_t z, zr;
  mpz_inits(z, zr, nullptr);
  auto load = [&](const Operands& o) {
    for (int k = 0; k < pairs; ++k) {
      mpz_init(x(k));
      mpz_init(y(k));
      mpz_of(x(k), o.a[k]->head);
      mpz_of(y(k), o.b[k]->head);
    }
  };
  auto unload = [&] {
    for (int k = 0; k < pairs; ++k) {
      mpz_clear(x(k));
      mpz_clear(y(k));
    }
  };
#endif
  // Runs one row: tavrin(k) and peer(k) on pair k; same(k) checks pair k.
  auto row = [&](const char* name, const std::string& size, const std::function<void(int)>& tv,
                 const std::function<void(int)>& pr, const std::function<bool(int)>& same) {
    if (!wanted(name)) return;
    auto [t, p] = time_pair(
        [&] {
          for (int i = 0; i < ops; ++i) tv(i % pairs);
        },
        pr ? std::function<void()>([&] {
          for (int i = 0; i < ops; ++i) pr(i % pairs);
        })
           : std::function<void()>());
    bool ok = static_cast<bool>(pr);
    for (int k = 0; k < pairs && ok; ++k) ok = same(k);
    report(name, (size + ", " + batch).c_str(), t, "GMP", p, ok);
  };
  std::function<void(int)> peer;
  for (auto [la, lb] : {std::pair{1, 1}, std::pair{2, 2}, std::pair{10, 10}}) {
    Operands o = make(la, lb, false);
    const std::string size = std::to_string(la) + " limbs";
#ifdef TAVRIN_PEER_GMP
    load(o);
    peer = [&](int k) { mpz_add(z, x(k), y(k)); };
    auto same_sum = [&](int k) {
      num_assign(o.a[k], c);
      fastsum(c, o.b[k]);
      mpz_add(z, x(k), y(k));
      return same_number(c, z);
    };
    row(
        "fastsum", size,
        [&](int k) {
          num_assign(o.a[k], c);
          fastsum(c, o.b[k]);
        },
        peer, same_sum);
    peer = [&](int k) { mpz_mul(z, x(k), y(k)); };
    row(
        "fast_mult", size, [&](int k) { fast_mult(o.a[k], o.b[k], c); }, peer,
        [&](int k) {
          fast_mult(o.a[k], o.b[k], c);
          mpz_mul(z, x(k), y(k));
          return same_number(c, z);
        });
    unload();
#endif
  }
  for (auto [la, lb] : {std::pair{2, 1}, std::pair{4, 2}}) {
    Operands o = make(la, lb, false);
    const std::string size = std::to_string(la) + " by " + std::to_string(lb) + " limbs";
#ifdef TAVRIN_PEER_GMP
    load(o);
    peer = [&](int k) { mpz_tdiv_qr(z, zr, x(k), y(k)); };
    row(
        "divide", size, [&](int k) { divide(o.a[k], o.b[k], c, d); }, peer,
        [&](int k) {
          divide(o.a[k], o.b[k], c, d);
          mpz_tdiv_qr(z, zr, x(k), y(k));
          // Tavrin's remainder carries the sign of n*d, GMP's that of n.
          if (mpz_sgn(y(k)) < 0) mpz_neg(zr, zr);
          return same_number(c, z) && same_number(d, zr);
        });
    unload();
#endif
  }
  for (int l : {1, 2}) {
    Operands o = make(l, l, true);
    const std::string size = std::to_string(o.a[0]->size) + " limbs";
#ifdef TAVRIN_PEER_GMP
    load(o);
    peer = [&](int k) { mpz_gcd(z, x(k), y(k)); };
    row(
        "binary_gcd", size, [&](int k) { binary_gcd(o.a[k], o.b[k], c); }, peer,
        [&](int k) {
          binary_gcd(o.a[k], o.b[k], c);
          mpz_gcd(z, x(k), y(k));
          return same_number(c, z);
        });
    unload();
#endif
  }
  for (int l : {2, 10}) {
    Operands o = make(l, 1, false);
    const std::string size = std::to_string(l) + " limbs";
#ifdef TAVRIN_PEER_GMP
    load(o);
    std::vector<char> buf(static_cast<std::size_t>(l) * 9 + 16);
    peer = [&](int k) { mpz_get_str(buf.data(), 10, x(k)); };
    row(
        "make_base_10", size, [&](int k) { make_base_10(o.a[k], c); }, peer,
        [&](int k) {
          make_base_10(o.a[k], c);
          mpz_get_str(buf.data(), 10, x(k));
          return decimal_of_groups(c) == std::string(buf.data());
        });
    unload();
#endif
  }
#ifdef TAVRIN_PEER_GMP
  mpz_clears(z, zr, nullptr);
#endif
  (void)peer;
}

void factorial_rows() {
  for (std::int32_t v : {1000, 10000, 50000}) {
    if (!wanted("factorial")) break;
    imptr n;
    newimag(&n);
    std::function<void()> peer;
    bool same = false;
#ifdef TAVRIN_PEER_GMP
    mpz_t z;
    mpz_init(z);
    peer = [&] { mpz_fac_ui(z, static_cast<unsigned long>(v)); };
#endif
    auto [t, p] = time_pair(
        [&] {
          special_set(v, n);
          factorial(n);
        },
        peer);
#ifdef TAVRIN_PEER_GMP
    same = same_number(n, z);
    mpz_clear(z);
#endif
    report("factorial", (std::to_string(v) + "!").c_str(), t, "GMP", p, same);
    free_imag(&n);
  }
}

// ---- Dense products and division modulo a prime ------------------------------------------

std::vector<std::int32_t> random_residues(std::mt19937_64& rng, int deg, std::int32_t p) {
  std::vector<std::int32_t> a(static_cast<std::size_t>(deg + 1));
  for (auto& c : a) c = static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(p));
  if (a.back() == 0) a.back() = 1;
  return a;
}

// The residues of a one-variable polynomial, low degree first.
std::vector<std::int32_t> residues_of(poly r) {
  std::vector<std::int32_t> v(static_cast<std::size_t>(r->numb ? 1 : r->exp + 1), 0);
  for (poly t = r; t != nullptr; t = t->next)
    v[static_cast<std::size_t>(t->numb ? 0 : t->exp)] =
        t->numb ? t->ncoef->lint : t->pcoef->ncoef->lint;
  return v;
}

void dense_rows() {
  struct Row {
    const char* name;
    std::int32_t p;
    int deg;
  };
  for (Row row : {Row{"dense product mod 65521", 65521, 1000},
                  Row{"dense product mod 2147483629", 2147483629, 10000},
                  Row{"dense product mod 2147483629", 2147483629, 25000},
                  Row{"dense product mod 65521", 65521, 25000}}) {
    if (!wanted("dense product")) break;
    ModulusGuard ring(row.p);
    ScopedValue<bool> m(modularmode, true), l(lintmode, true);
    std::mt19937_64 rng(1);
    const auto a = random_residues(rng, row.deg / 2, row.p),
               b = random_residues(rng, row.deg / 2, row.p);
    poly n = nullptr, mm = nullptr, r = nullptr;
    array_to_poly(a.data(), row.deg / 2, &n);
    array_to_poly(b.data(), row.deg / 2, &mm);
    std::function<void()> peer;
    bool same = false;
#ifdef TAVRIN_PEER_FLINT
    nmod_poly_t x, y, z;
    nmod_poly_init(x, static_cast<mp_limb_t>(row.p));
    nmod_poly_init(y, static_cast<mp_limb_t>(row.p));
    nmod_poly_init(z, static_cast<mp_limb_t>(row.p));
    for (std::size_t i = 0; i < a.size(); ++i)
      nmod_poly_set_coeff_ui(x, i, static_cast<mp_limb_t>(a[i]));
    for (std::size_t i = 0; i < b.size(); ++i)
      nmod_poly_set_coeff_ui(y, i, static_cast<mp_limb_t>(b[i]));
    peer = [&] { nmod_poly_mul(z, x, y); };
#endif
    auto [t, p] = time_pair([&] { k_fastest_poly_mult(n, mm, &r); }, peer);
#ifdef TAVRIN_PEER_FLINT
    const auto got = residues_of(r);
    same = static_cast<long>(got.size()) == nmod_poly_length(z);
    for (std::size_t i = 0; same && i < got.size(); ++i)
      same = static_cast<mp_limb_t>(got[i]) == nmod_poly_get_coeff_ui(z, static_cast<slong>(i));
    nmod_poly_clear(x);
    nmod_poly_clear(y);
    nmod_poly_clear(z);
#endif
    report(row.name, ("degree " + std::to_string(row.deg)).c_str(), t, "FLINT", p, same);
    // The array kernel alone on the same operands (no term lists), and the
    // dispatch against it.
    std::vector<std::int32_t> kz(a.size() + b.size() - 1);
    const auto h = static_cast<std::int32_t>(row.deg / 2);
    auto [tk, unused] = time_pair(
        [&] { fast_array_onevar_mult(a.data(), b.data(), kz.data(), 0, h, 0, h); }, nullptr);
    (void)unused;
    const bool kernel_same = kz == residues_of(r);
    report("  the array kernel alone", ("degree " + std::to_string(row.deg)).c_str(), tk, "FLINT",
           p, kernel_same);
    report("  k_fastest_poly_mult / kernel", ("degree " + std::to_string(row.deg)).c_str(), t,
           "kernel", tk, kernel_same);
    free_poly(&n);
    free_poly(&mm);
    free_poly(&r);
  }
  if (wanted("dense division")) {
    const std::int32_t prime = 65521;
    ModulusGuard ring(prime);
    ScopedValue<bool> m(modularmode, true), l(lintmode, true);
    ScopedValue<std::int32_t> c1(poly_cutoff, 40), c2(div_poly_cutoff, 25);
    std::mt19937_64 rng(1);
    const auto a = random_residues(rng, 20000, prime), b = random_residues(rng, 10000, prime);
    poly n = nullptr, mm = nullptr, q = nullptr, r = nullptr;
    array_to_poly(a.data(), 20000, &n);
    array_to_poly(b.data(), 10000, &mm);
    std::function<void()> peer;
    bool same = false;
#ifdef TAVRIN_PEER_FLINT
    nmod_poly_t x, y, zq, zr;
    nmod_poly_init(x, prime);
    nmod_poly_init(y, prime);
    nmod_poly_init(zq, prime);
    nmod_poly_init(zr, prime);
    for (std::size_t i = 0; i < a.size(); ++i)
      nmod_poly_set_coeff_ui(x, i, static_cast<mp_limb_t>(a[i]));
    for (std::size_t i = 0; i < b.size(); ++i)
      nmod_poly_set_coeff_ui(y, i, static_cast<mp_limb_t>(b[i]));
    peer = [&] { nmod_poly_divrem(zq, zr, x, y); };
#endif
    auto [t, p] = time_pair([&] { basic_poly_divide(n, mm, &q, &r, true); }, peer);
#ifdef TAVRIN_PEER_FLINT
    const auto gq = residues_of(q), gr = residues_of(r);
    same = static_cast<long>(gq.size()) == nmod_poly_length(zq);
    for (std::size_t i = 0; same && i < gq.size(); ++i)
      same = static_cast<mp_limb_t>(gq[i]) == nmod_poly_get_coeff_ui(zq, static_cast<slong>(i));
    for (std::size_t i = 0; same && i < gr.size(); ++i)
      same = static_cast<mp_limb_t>(gr[i]) == nmod_poly_get_coeff_ui(zr, static_cast<slong>(i));
    nmod_poly_clear(x);
    nmod_poly_clear(y);
    nmod_poly_clear(zq);
    nmod_poly_clear(zr);
#endif
    report("dense division mod 65521", "20000 by 10000", t, "FLINT", p, same);
    free_poly(&n);
    free_poly(&mm);
    free_poly(&q);
    free_poly(&r);
  }
}

// ---- Sparse products -----------------------------------------------------------------

struct Term {
  std::int32_t c;
  std::int32_t e[3];
};

// Terms with exponents below `span` and coefficients 1 .. 999.
std::vector<Term> random_terms(std::mt19937_64& rng, int count, int span) {
  std::vector<Term> t(static_cast<std::size_t>(count));
  for (auto& x : t) {
    x.c = static_cast<std::int32_t>(1 + rng() % 999);
    for (auto& e : x.e) e = static_cast<std::int32_t>(rng() % static_cast<std::uint64_t>(span));
  }
  return t;
}

void adjoin_xyz() {
  if (polynames != nullptr) return;
  bench::adjoin_variables({"x", "y", "z"});
}

poly tavrin_poly(const std::vector<Term>& terms) {
  poly s = nullptr;
  poly_set(0, &s);
  for (const Term& t : terms) {
    poly m = nullptr;
    poly_set(t.c, &m);
    for (std::int16_t d = 1; d <= 3; ++d) {
      poly v = nullptr;
      base_poly(&v, d);
      compute_power(&v, t.e[d - 1], nilpol);
      poly_mult(m, v, &m, polynames);
      free_poly(&v);
    }
    best_poly_add(s, m, &s);
  }
  return s;
}

std::string singular_text(const std::vector<Term>& terms) {
  std::ostringstream os;
  for (std::size_t i = 0; i < terms.size(); ++i) {
    if (i) os << "+";
    os << terms[i].c << "*x^" << terms[i].e[0] << "*y^" << terms[i].e[1] << "*z^" << terms[i].e[2];
  }
  return os.str();
}

// Term count and coefficient sum of a Tavrin polynomial (coefficients as text
// through long arithmetic on decimal strings is overkill: the sum fits 128 bits
// for these rows, or is a residue).
void walk_terms(poly p, long& count, __int128& sum) {
  for (; p != nullptr; p = p->next) {
    if (!p->numb) {
      walk_terms(p->pcoef, count, sum);
      continue;
    }
    ++count;
    if (modularmode) {
      sum += p->ncoef->lint;
    } else {
      __int128 v = 0;
      for (numptr l = p->ncoef->head; l != nullptr; l = l->next) v = v * limb_base + l->value;
      sum += v;
    }
  }
}

std::string str128(__int128 v) {
  if (v == 0) return "0";
  const bool neg = v < 0;
  std::string s;
  unsigned __int128 u =
      neg ? static_cast<unsigned __int128>(-v) : static_cast<unsigned __int128>(v);
  while (u) {
    s.insert(s.begin(), static_cast<char>('0' + static_cast<int>(u % 10)));
    u /= 10;
  }
  return neg ? "-" + s : s;
}

// A decimal integer modulo 2^128, signed, as Tavrin's side sums in 128 bits.
std::string wrap128(const std::string& dec) {
  const bool neg = !dec.empty() && dec[0] == '-';
  unsigned __int128 u = 0;
  for (std::size_t i = neg ? 1 : 0; i < dec.size(); ++i)
    u = u * 10 + static_cast<unsigned>(dec[i] - '0');
  return str128(static_cast<__int128>(neg ? 0 - u : u));
}

// Runs Singular on the product p * q (ring char ch), best of 7 in ms, and
// its term count and coefficient sum; false when Singular is not there.
bool singular_product(const std::string& p, const std::string& q, std::int64_t ch, double* ms,
                      long* terms, std::string* sum) {
  const std::vector<std::string> lines = run_singular(
      "system(\"--ticks-per-sec\",1000000);\n"
      "ring R=" +
      std::to_string(ch) + ",(x,y,z),lp;\npoly p=" + p + ";\npoly q=" + q +
      ";\npoly r;\n"
      "int best=2147483647; int t; int i;\n"
      "r=p*q;\n"
      "for(i=1;i<=7;i++){t=rtimer; r=p*q; t=rtimer-t; if(t<best){best=t;}}\n"
      "print(best); print(size(r)); print(subst(r,x,1,y,1,z,1));\nquit;\n");
  if (lines.size() < 3) return false;
  *ms = std::atof(lines[0].c_str()) / 1000.0;
  *terms = std::atol(lines[1].c_str());
  *sum = lines[2];
  return true;
}

#ifdef TAVRIN_PEER_FLINT
// The term count and coefficient sum of a FLINT product.
void flint_summary(const fmpz_mpoly_t z, const fmpz_mpoly_ctx_t ctx, long* count,
                   std::string* sum) {
  fmpz_t c, s;
  fmpz_init(c);
  fmpz_init(s);
  *count = fmpz_mpoly_length(z, ctx);
  for (long k = 0; k < *count; ++k) {
    fmpz_mpoly_get_term_coeff_fmpz(c, z, k, ctx);
    fmpz_add(s, s, c);
  }
  // Modulo 2^128 and signed, as Tavrin's side sums in 128 bits.
  fmpz_fdiv_r_2exp(s, s, 128);
  fmpz_fdiv_q_2exp(c, s, 64);
  const unsigned __int128 hi = fmpz_get_ui(c);
  fmpz_fdiv_r_2exp(s, s, 64);
  *sum = str128(static_cast<__int128>((hi << 64) | fmpz_get_ui(s)));
  fmpz_clear(c);
  fmpz_clear(s);
}
void nmod_summary(const nmod_mpoly_t z, const nmod_mpoly_ctx_t ctx, std::uint64_t p, long* count,
                  std::string* sum) {
  *count = nmod_mpoly_length(z, ctx);
  unsigned __int128 s = 0;
  for (long k = 0; k < *count; ++k) s += nmod_mpoly_get_term_coeff_ui(z, k, ctx);
  *sum = std::to_string(static_cast<std::uint64_t>(s % p));
}

// FLINT's polynomials in x, y, z over the integers (FlintZ) and modulo a
// prime (FlintP), as the product rows use them.
struct FlintZ {
  using Poly = fmpz_mpoly_struct;
  using Ctx = fmpz_mpoly_ctx_struct;
  static void start(Ctx* c, std::int32_t) { fmpz_mpoly_ctx_init(c, 3, ORD_LEX); }
  static void stop(Ctx* c) { fmpz_mpoly_ctx_clear(c); }
  static void init(Poly* a, const Ctx* c) { fmpz_mpoly_init(a, c); }
  static void clear(Poly* a, const Ctx* c) { fmpz_mpoly_clear(a, c); }
  static void set_coeff(Poly* a, long v, ulong* e, const Ctx* c) {
    fmpz_mpoly_set_coeff_si_ui(a, v, e, c);
  }
  static void gen(Poly* a, int v, const Ctx* c) { fmpz_mpoly_gen(a, v, c); }
  static void add(Poly* a, const Poly* b, const Poly* d, const Ctx* c) {
    fmpz_mpoly_add(a, b, d, c);
  }
  static void add_one(Poly* a, const Ctx* c) { fmpz_mpoly_add_si(a, a, 1, c); }
  static void pow(Poly* a, const Poly* b, int k, const Ctx* c) {
    fmpz_mpoly_pow_ui(a, b, static_cast<ulong>(k), c);
  }
  static void mul(Poly* a, const Poly* b, const Poly* d, const Ctx* c) {
    fmpz_mpoly_mul(a, b, d, c);
  }
  static void summary(const Poly* z, const Ctx* c, std::int32_t, long* count, std::string* sum) {
    flint_summary(z, c, count, sum);
  }
};
struct FlintP {
  using Poly = nmod_mpoly_struct;
  using Ctx = nmod_mpoly_ctx_struct;
  static void start(Ctx* c, std::int32_t p) {
    nmod_mpoly_ctx_init(c, 3, ORD_LEX, static_cast<mp_limb_t>(p));
  }
  static void stop(Ctx* c) { nmod_mpoly_ctx_clear(c); }
  static void init(Poly* a, const Ctx* c) { nmod_mpoly_init(a, c); }
  static void clear(Poly* a, const Ctx* c) { nmod_mpoly_clear(a, c); }
  static void set_coeff(Poly* a, long v, ulong* e, const Ctx* c) {
    nmod_mpoly_set_coeff_ui_ui(a, static_cast<ulong>(v), e, c);
  }
  static void gen(Poly* a, int v, const Ctx* c) { nmod_mpoly_gen(a, v, c); }
  static void add(Poly* a, const Poly* b, const Poly* d, const Ctx* c) {
    nmod_mpoly_add(a, b, d, c);
  }
  static void add_one(Poly* a, const Ctx* c) { nmod_mpoly_add_ui(a, a, 1, c); }
  static void pow(Poly* a, const Poly* b, int k, const Ctx* c) {
    nmod_mpoly_pow_ui(a, b, static_cast<ulong>(k), c);
  }
  static void mul(Poly* a, const Poly* b, const Poly* d, const Ctx* c) {
    nmod_mpoly_mul(a, b, d, c);
  }
  static void summary(const Poly* z, const Ctx* c, std::int32_t p, long* count, std::string* sum) {
    nmod_summary(z, c, static_cast<std::uint64_t>(p), count, sum);
  }
};

// The FLINT side of a product row: the operands from flint_src (their terms,
// or else (1 + x + y + z)^k for the exponent k it gives), their product timed
// beside ours() and checked by its term count and coefficient sum.
template <class R>
void flint_product(
    const char* name, const char* size, std::int32_t prime,
    const std::function<void(int, const std::vector<Term>*&, std::string*)>& flint_src,
    const std::function<void()>& ours, long count, const std::string& mysum) {
  const std::vector<Term>* terms[2] = {nullptr, nullptr};
  std::string powers[2];
  flint_src(0, terms[0], &powers[0]);
  flint_src(1, terms[1], &powers[1]);
  typename R::Ctx ctx[1];
  R::start(ctx, prime);
  typename R::Poly x[1], y[1], z[1];
  for (typename R::Poly* a : {x, y, z}) R::init(a, ctx);
  auto build = [&](typename R::Poly* a, int which) {
    if (terms[which] != nullptr) {
      for (const Term& u : *terms[which]) {
        ulong e[3] = {static_cast<ulong>(u.e[0]), static_cast<ulong>(u.e[1]),
                      static_cast<ulong>(u.e[2])};
        typename R::Poly m[1];
        R::init(m, ctx);
        R::set_coeff(m, u.c, e, ctx);
        R::add(a, a, m, ctx);
        R::clear(m, ctx);
      }
      return;
    }
    typename R::Poly s[1];
    R::init(s, ctx);
    R::gen(s, 0, ctx);
    for (int v = 1; v < 3; ++v) {
      typename R::Poly g[1];
      R::init(g, ctx);
      R::gen(g, v, ctx);
      R::add(s, s, g, ctx);
      R::clear(g, ctx);
    }
    R::add_one(s, ctx);
    R::pow(a, s, std::atoi(powers[which].c_str()), ctx);
    R::clear(s, ctx);
  };
  build(x, 0);
  build(y, 1);
  auto [t, pf] = time_pair(ours, [&] { R::mul(z, x, y, ctx); });
  long fc = 0;
  std::string fs;
  R::summary(z, ctx, prime, &fc, &fs);
  report(name, size, t, "FLINT", pf, fc == count && fs == mysum);
  for (typename R::Poly* a : {x, y, z}) R::clear(a, ctx);
  R::stop(ctx);
}
#endif

// One product row: Tavrin's poly_mult against FLINT (fmpz_mpoly over the
// integers, nmod_mpoly modulo a prime) and Singular, each checked by its
// term count and coefficient sum. `text` is the operands in Singular's
// syntax; `terms` the same operands for FLINT.
void product_row(const char* name, const char* size, const std::function<poly()>& make_a,
                 const std::function<poly()>& make_b, const std::string& sa, const std::string& sb,
                 const std::function<void(int, const std::vector<Term>*&, std::string*)>& flint_src,
                 std::int32_t prime) {
  std::optional<ModulusGuard> ring;
  std::optional<ScopedValue<bool>> m1, m2;
  if (prime != 0) {
    ring.emplace(prime);
    m1.emplace(modularmode, true);
    m2.emplace(lintmode, true);
  }
  poly n = make_a(), mm = make_b(), r = nullptr;
  const auto ours = [&] { poly_mult(n, mm, &r, polynames); };
  auto [t, p0] = time_pair(ours, nullptr);
  (void)p0;
  long count = 0;
  __int128 sum = 0;
  walk_terms(r, count, sum);
  const std::string mysum = str128(prime != 0 ? sum % prime : sum);
#ifdef TAVRIN_PEER_FLINT
  if (prime == 0) {
    flint_product<FlintZ>(name, size, prime, flint_src, ours, count, mysum);
  } else {
    flint_product<FlintP>(name, size, prime, flint_src, ours, count, mysum);
  }
#else
  (void)flint_src;
#endif
  double sms = 0;
  long sterms = 0;
  std::string ssum;
  if (singular_product(sa, sb, prime, &sms, &sterms, &ssum)) {
    if (prime != 0) {  // Singular prints residues in the symmetric range
      const long long v = std::atoll(ssum.c_str()) % prime;
      ssum = std::to_string(v < 0 ? v + prime : v);
    } else {
      ssum = wrap128(ssum);
    }
    report(name, size, t, "Singular", sms, sterms == count && ssum == mysum);
  }
  free_poly(&n);
  free_poly(&mm);
  free_poly(&r);
}

// (1 + x + y + z)^k.
poly dense_power(std::int32_t k) { return bench::dense_power(3, k); }

void sparse_rows() {
  adjoin_xyz();
  if (wanted("sparse")) {
    std::mt19937_64 rng(7);
    for (int n : {300, 1000}) {
      const auto a = random_terms(rng, n, 40), b = random_terms(rng, n, 40);
      product_row(
          "sparse product over Z",
          (std::to_string(n) + " x " + std::to_string(n) + " terms").c_str(),
          [&] { return tavrin_poly(a); }, [&] { return tavrin_poly(b); }, singular_text(a),
          singular_text(b),
          [&](int which, const std::vector<Term>*& t, std::string*) { t = which == 0 ? &a : &b; },
          0);
      product_row(
          "sparse product mod 2147483629",
          (std::to_string(n) + " x " + std::to_string(n) + " terms").c_str(),
          [&] { return tavrin_poly(a); }, [&] { return tavrin_poly(b); }, singular_text(a),
          singular_text(b),
          [&](int which, const std::vector<Term>*& t, std::string*) { t = which == 0 ? &a : &b; },
          2147483629);
    }
  }
  // Coefficients past 2^64: long-coefficient products. At k = 50 the packed
  // product is past the widest transform.
  for (const auto& [k, terms] : {std::pair{40, "12341 terms"}, std::pair{50, "23426 terms"}}) {
    const std::string power = "(1+x+y+z)^" + std::to_string(k);
    if (!wanted(power.c_str())) continue;
    product_row((power + " squared over Z").c_str(), terms, [k] { return dense_power(k); },
                [k] { return dense_power(k); }, power, power,
                [k](int, const std::vector<Term>*& t, std::string* exponent) {
                  t = nullptr;
                  *exponent = std::to_string(k);
                },
                0);
  }
  if (wanted("(1+x+y+z)^20")) {
    for (std::int32_t prime : {0, 2147483629}) {
      product_row(
          prime == 0 ? "(1+x+y+z)^20 squared over Z" : "(1+x+y+z)^20 squared mod 2147483629",
          "12341 terms", [] { return dense_power(20); }, [] { return dense_power(20); },
          "(1+x+y+z)^20", "(1+x+y+z)^20",
          [](int, const std::vector<Term>*& t, std::string* power) {
            t = nullptr;
            *power = "20";
          },
          prime);
    }
  }
}

// ---- Multivariate GCD over the integers --------------------------------------------

// Random planted GCD rows: polygcd(g a, g b) against FLINT's fmpz_mpoly_gcd
// on the same operands, for g, a, b dense in n variables (every monomial of
// total degree up to d, coefficients in -99 .. 99). Each answer is compared
// with g (up to sign) and the two by term count and coefficient sum.
struct MTerm {
  std::int32_t c;
  std::vector<std::int32_t> e;
};

std::vector<MTerm> dense_terms(std::mt19937_64& rng, int n, int d) {
  std::vector<MTerm> out;
  std::vector<std::int32_t> e(static_cast<std::size_t>(n), 0);
  auto walk = [&](auto&& self, std::size_t k, int left) -> void {
    if (k == e.size()) {
      std::int32_t c = static_cast<std::int32_t>(rng() % 199) - 99;
      out.push_back({c == 0 ? 1 : c, e});
      return;
    }
    for (int i = 0; i <= left; ++i) {
      e[k] = i;
      self(self, k + 1, left - i);
    }
    e[k] = 0;
  };
  walk(walk, 0, d);
  return out;
}

poly tavrin_mpoly(const std::vector<MTerm>& terms) {
  poly s = nullptr;
  poly_set(0, &s);
  for (const MTerm& t : terms) {
    poly m = nullptr;
    poly_set(t.c, &m);
    for (std::size_t k = t.e.size(); k-- > 0;) {
      if (t.e[k] == 0 && m->numb) continue;
      poly node = nullptr;
      newpoly(&node);
      node->numb = false;
      node->exp = t.e[k];
      node->pcoef = m;
      node->next = nullptr;
      m = node;
    }
    best_poly_add(s, m, &s);
  }
  return s;
}

void gcd_rows() {
  adjoin_xyz();
  for (auto [n, d] : {std::pair{3, 6}, std::pair{4, 10}, std::pair{4, 16}}) {
    if (!wanted("gcd")) break;
    const char* extra[] = {"w"};
    polypt added = nullptr;
    if (n == 4) {
      newpt(&added);
      std::strncpy(added->let.name, extra[0], 10);
      added->let.address = -1;
      added->depth = 4;
      polynames->next->next->next = added;
      number_polys = 4;
    }
    std::mt19937_64 rng(20261219);
    const auto tg = dense_terms(rng, n, d), ta = dense_terms(rng, n, d),
               tb = dense_terms(rng, n, d);
    poly g = tavrin_mpoly(tg), a = tavrin_mpoly(ta), b = tavrin_mpoly(tb), u = nullptr, v = nullptr,
         r = nullptr;
    poly_mult(g, a, &u, polynames);
    poly_mult(g, b, &v, polynames);
    const ScopedValue<std::int16_t> no_cache(lookupgcd, 0);
    auto tavrin = [&] {
      original_depth = 1;
      alg_c_count = 0;
      polygcd(u, v, &r, polynames);
    };
    std::function<void()> peer;
    bool same = false;
    const std::string size = std::to_string(n) + " vars, degree " + std::to_string(d);
#ifdef TAVRIN_PEER_FLINT
    fmpz_mpoly_ctx_t ctx;
    fmpz_mpoly_ctx_init(ctx, n, ORD_LEX);
    auto build = [&](fmpz_mpoly_t x, const std::vector<MTerm>& terms) {
      fmpz_mpoly_init(x, ctx);
      for (const MTerm& t : terms) {
        std::vector<ulong> e(t.e.begin(), t.e.end());
        fmpz_mpoly_t m;
        fmpz_mpoly_init(m, ctx);
        fmpz_mpoly_set_coeff_si_ui(m, t.c, e.data(), ctx);
        fmpz_mpoly_add(x, x, m, ctx);
        fmpz_mpoly_clear(m, ctx);
      }
    };
    fmpz_mpoly_t fg, fa, fb, fu, fv, fr;
    build(fg, tg);
    build(fa, ta);
    build(fb, tb);
    fmpz_mpoly_init(fu, ctx);
    fmpz_mpoly_init(fv, ctx);
    fmpz_mpoly_init(fr, ctx);
    fmpz_mpoly_mul(fu, fg, fa, ctx);
    fmpz_mpoly_mul(fv, fg, fb, ctx);
    peer = [&] { fmpz_mpoly_gcd(fr, fu, fv, ctx); };
#endif
    auto [t, p] = time_pair(tavrin, peer);
    poly minus_g = nullptr;
    poly_makeneg(g, &minus_g);
    const bool right = poly_equal(r, g) || poly_equal(r, minus_g);
#ifdef TAVRIN_PEER_FLINT
    long fc = 0;
    std::string fs;
    flint_summary(fr, ctx, &fc, &fs);
    long count = 0;
    __int128 sum = 0;
    walk_terms(r, count, sum);
    if (neg_leading_term(r)) sum = -sum;  // FLINT's GCD has a positive leading coefficient
    same = right && fc == count && (fs == str128(sum) || fs == str128(-sum));
    for (fmpz_mpoly_struct* x : {fg, fa, fb, fu, fv, fr}) fmpz_mpoly_clear(x, ctx);
    fmpz_mpoly_ctx_clear(ctx);
#endif
    report("polygcd(g a, g b) over Z, dense", size.c_str(), t, "FLINT", p,
           same || (p == 0 && right));
    for (poly* q : {&g, &minus_g, &a, &b, &u, &v, &r}) free_poly(q);
    if (added != nullptr) {
      polynames->next->next->next = nullptr;
      free_pt(&added);
      number_polys = 3;
    }
  }
}

}  // namespace

// ---- Factorisation modulo a prime ---------------------------------------------------------

// A factor's fingerprint: degree, multiplicity and its values at 2 and at
// 12345 (made monic, modulo p). The factor lists are compared sorted.
using Fingerprint = std::tuple<long, long, long, long>;

Fingerprint fingerprint(const std::vector<std::int32_t>& c, long mult, long p) {
  long v2 = 0, v3 = 0;
  for (std::size_t i = c.size(); i-- > 0;) {
    v2 = (v2 * 2 + c[i]) % p;
    v3 = (v3 * 12345 + c[i]) % p;
  }
  return {static_cast<long>(c.size()) - 1, mult, v2, v3};
}

// Singular's factorize on the polynomial of residues f (low first) modulo
// p: the best of `reps` runs by Singular's own timer in ms, and the
// fingerprints of its factors; false when Singular is not there.
bool singular_factor(const std::vector<std::int32_t>& f, std::int32_t p, int reps, double* ms,
                     std::vector<Fingerprint>* prints) {
  std::string script =
      "system(\"--ticks-per-sec\",1000000);\nring R=" + std::to_string(p) + ",x,dp;\npoly f=";
  bool first = true;
  for (std::size_t i = f.size(); i-- > 0;) {
    if (f[i] == 0) continue;
    script += (first ? "" : "+") + std::to_string(f[i]) + "*x^" + std::to_string(i);
    first = false;
  }
  script +=
      ";\nlist L; poly g; int best=2147483647; int t; int i;\n"
      "for(i=1;i<=" +
      std::to_string(reps) +
      ";i++){t=rtimer; L=factorize(f); t=rtimer-t; if(t<best){best=t;}}\n"
      "print(best);\n"
      "for(i=1;i<=size(L[1]);i++){g=L[1][i]; if(deg(g)>0){g=g/leadcoef(g); "
      "print(string(deg(g))+\" \"+string(L[2][i])+\" \"+string(subst(g,x,2))+\" \"+"
      "string(subst(g,x,12345)));}}\nquit;\n";
  const std::vector<std::string> lines = run_singular(script);
  if (lines.empty()) return false;
  *ms = std::atof(lines[0].c_str()) / 1000.0;
  for (std::size_t k = 1; k < lines.size(); ++k) {
    long d = 0, m = 0, a = 0, b = 0;
    if (std::sscanf(lines[k].c_str(), "%ld %ld %ld %ld", &d, &m, &a, &b) != 4) continue;
    prints->emplace_back(d, m, ((a % p) + p) % p, ((b % p) + p) % p);
  }
  std::sort(prints->begin(), prints->end());
  return true;
}

// factor_poly against FLINT's nmod_poly_factor (in this process) and
// Singular's factorize (a separate program, its own timer) on a random
// monic polynomial of the given degree modulo 32003; the same factors
// with the same multiplicities. Medians (FLINT, Tavrin) and the best
// (Singular) of fewer runs for the larger degrees.
void factor_rows() {
  for (int deg : {1000, 4000, 10000}) {
    if (!wanted("factor")) break;
    const int runs = deg <= 1000 ? 5 : (deg <= 4000 ? 3 : 1);
    adjoin_xyz();
    const std::int32_t prime = 32003;
    ModulusGuard ring(prime);
    ScopedValue<bool> m(modularmode, true), l(lintmode, true);
    std::mt19937_64 rng(7);
    auto a = random_residues(rng, deg, prime);
    a.back() = 1;
    poly f = nullptr, sq = nullptr;
    array_to_poly(a.data(), deg, &f);
    std::int32_t count = 0;
    auto ours = [&] {
      free_poly(&sq);
      poly c = nullptr;
      poly_assign(f, &c);
      factor_poly(&c, &sq, &count, false, false, -1);
      free_poly(&c);
    };
    std::vector<double> mine_ms, flint_ms;
    std::vector<Fingerprint> mine;
    for (int r = 0; r < runs; ++r) {
      const auto t0 = Clock::now();
      ours();
      mine_ms.push_back(ms_since(t0));
    }
    for (poly r = sq; r != nullptr; r = r->next)
      mine.push_back(fingerprint(residues_of(r->pcoef), r->exp, prime));
    std::sort(mine.begin(), mine.end());
    const double t = median(mine_ms);
    const std::string size =
        "degree " + std::to_string(deg) + ", " + std::to_string(count) + " factors";
#ifdef TAVRIN_PEER_FLINT
    {
      nmod_poly_t x;
      nmod_poly_factor_t fac;
      nmod_poly_init(x, prime);
      nmod_poly_factor_init(fac);
      for (std::size_t i = 0; i < a.size(); ++i)
        nmod_poly_set_coeff_ui(x, i, static_cast<mp_limb_t>(a[i]));
      for (int r = 0; r < runs; ++r) {
        nmod_poly_factor_clear(fac);
        nmod_poly_factor_init(fac);
        const auto t0 = Clock::now();
        nmod_poly_factor(fac, x);
        flint_ms.push_back(ms_since(t0));
      }
      std::vector<Fingerprint> theirs;
      for (slong k = 0; k < fac->num; ++k) {
        std::vector<std::int32_t> c(static_cast<std::size_t>(nmod_poly_length(fac->p + k)));
        for (std::size_t i = 0; i < c.size(); ++i)
          c[i] =
              static_cast<std::int32_t>(nmod_poly_get_coeff_ui(fac->p + k, static_cast<slong>(i)));
        theirs.push_back(fingerprint(c, fac->exp[k], prime));
      }
      std::sort(theirs.begin(), theirs.end());
      nmod_poly_factor_clear(fac);
      nmod_poly_clear(x);
      report("factor_poly mod 32003", size.c_str(), t, "FLINT", median(flint_ms), mine == theirs);
    }
#endif
    double sms = 0;
    std::vector<Fingerprint> singular;
    if (singular_factor(a, prime, runs, &sms, &singular)) {
      report("factor_poly mod 32003", size.c_str(), t, "Singular", sms, mine == singular);
    } else if (flint_ms.empty()) {
      report("factor_poly mod 32003", size.c_str(), t, "-", 0, false);
    }
    free_poly(&f);
    free_poly(&sq);
  }
}

// ---- Integer determinants ------------------------------------------------------------
// int_determ against fmpz_mat_det on n x n matrices with entries in [-99, 99].
void int_det_rows() {
  if (!wanted("integer determinant")) return;
  for (std::int32_t n : {50, 100, 200, 600, 1000}) {
    auto w = std::make_unique<workarray>();
    std::mt19937_64 rng(static_cast<std::uint64_t>(n));
    std::vector<long> vals(static_cast<std::size_t>(n) * n);
    for (std::int32_t k = 0; k < n * n; ++k) {
      vals[static_cast<std::size_t>(k)] = static_cast<long>(rng() % 199) - 99;
      w->stash[k] = nullptr;
      quoly_set(static_cast<std::int32_t>(vals[static_cast<std::size_t>(k)]), &w->stash[k]);
    }
    quoly d = nullptr;
    auto ours = [&] {
      free_quoly(&d);
      quoly_set(1, &d);
      quoly bound = nullptr;
      quoly_set(-1, &bound);
      int_determ(&d, nullptr, w.get(), n, &bound);
      free_quoly(&bound);
    };
    std::function<void()> peer;
    bool same = false;
#ifdef TAVRIN_PEER_FLINT
    fmpz_mat_t m;
    fmpz_t det;
    fmpz_mat_init(m, n, n);
    fmpz_init(det);
    for (std::int32_t c = 0; c < n; ++c)
      for (std::int32_t r = 0; r < n; ++r)
        fmpz_set_si(fmpz_mat_entry(m, r, c), vals[static_cast<std::size_t>(c) * n + r]);
    peer = [&] { fmpz_mat_det(det, m); };
#endif
    auto [t, p] = time_pair(ours, peer);
#ifdef TAVRIN_PEER_FLINT
    mpz_t z;
    mpz_init(z);
    fmpz_get_mpz(z, det);
    same = same_number(d->ncoef, z);
    mpz_clear(z);
    fmpz_clear(det);
    fmpz_mat_clear(m);
#endif
    char size[32];
    std::snprintf(size, sizeof size, "n = %d", n);
    report("integer determinant [-99, 99]", size, t, "FLINT", p, same);
    free_quoly(&d);
    for (std::int32_t k = 0; k < n * n; ++k) free_quoly(&w->stash[k]);
  }
}

// ---- Integer normal forms ------------------------------------------------------------
// The dense Hermite form (intcolred, as the built-in runs it) against
// fmpz_mat_hnf on n x n matrices with entries in [-99, 99]. FLINT's form is
// the row-style one, so its form of the transpose, transposed, is Tavrin's
// column form of a nonsingular matrix: compared entry by entry. With the
// four transforms against fmpz_mat_hnf_transform (the forms compared). The
// Smith form (intnormal) against fmpz_mat_snf (the diagonals compared) where
// FLINT finishes in reasonable time; beyond, and with transforms (FLINT has
// none), Tavrin alone. Medians of a few runs each; the matrix is built
// outside the timing.
struct NamedArray {
  std::vector<std::unique_ptr<storerec>> pages;
  std::vector<storeptr> saved;
  arrnode q{};
  std::int32_t n;
  NamedArray(std::int32_t n_, const std::vector<long>& vals) : n(n_) {
    for (std::int32_t p = 0; p * page_cells < n * n; ++p) {
      pages.push_back(std::make_unique<storerec>());
      saved.push_back(arp[p]);
      arp[p] = pages.back().get();
    }
    for (std::int32_t c = 0; c < n * n; ++c) {
      quoly v = nullptr;
      quoly_set(static_cast<std::int32_t>(vals[static_cast<std::size_t>(c)]), &v);
      *arp_cell(c) = v;
    }
    q.rows = n;
    q.start = 0;
    q.stop = n * n - 1;
    set_entry_count(&q.sizearr, std::int64_t{n} * n);
  }
  ~NamedArray() {
    for (std::int32_t c = 0; c < n * n; ++c) free_quoly(arp_cell(c));
    for (std::size_t p = 0; p < pages.size(); ++p) arp[p] = saved[p];
    special_free(&q.sizearr);
  }
  imptr at(std::int32_t r, std::int32_t c) const { return (*arp_cell(r + c * n))->ncoef; }
};

// Four work arrays for the transforms, their cells given back.
struct Transforms {
  std::int32_t cells;
  std::unique_ptr<workarray> w[4];
  explicit Transforms(std::int32_t n) : cells(n * n) {
    for (auto& a : w) {
      a = std::make_unique<workarray>();
      for (std::int32_t k = 0; k < cells; ++k) a->stash[k] = nullptr;
    }
  }
  void clear() {
    for (auto& a : w)
      for (std::int32_t k = 0; k < cells; ++k) free_quoly(&a->stash[k]);
  }
  ~Transforms() { clear(); }
};

void normal_form_row(const char* name, std::int32_t n, bool smith, bool transforms,
                     [[maybe_unused]] bool with_peer, int runs) {
  std::mt19937_64 rng(static_cast<std::uint64_t>(n) + 47);
  std::vector<long> vals(static_cast<std::size_t>(n) * n);  // column by column
  for (auto& v : vals) v = static_cast<long>(rng() % 199) - 99;
  const bool want[6] = {transforms, transforms, transforms, transforms, false, false};
  std::unique_ptr<NamedArray> a;
  std::unique_ptr<Transforms> t;
  quoly rank = nullptr;
  std::vector<double> ours, peer;
  bool same = false;
#ifdef TAVRIN_PEER_FLINT
  fmpz_mat_t m, h, u;
  fmpz_mat_init(m, n, n);
  fmpz_mat_init(h, n, n);
  fmpz_mat_init(u, n, n);
  // Hermite: the transpose, for FLINT's row form.
  for (std::int32_t c = 0; c < n; ++c)
    for (std::int32_t r = 0; r < n; ++r)
      fmpz_set_si(smith ? fmpz_mat_entry(m, r, c) : fmpz_mat_entry(m, c, r),
                  vals[static_cast<std::size_t>(c) * n + r]);
#endif
  for (int run = 0; run < runs; ++run) {
    a.reset();  // gives the store pages back first
    t.reset();
    a = std::make_unique<NamedArray>(n, vals);
    if (transforms) t = std::make_unique<Transforms>(n);
    workptr w[4] = {nullptr, nullptr, nullptr, nullptr};
    if (transforms)
      for (int i = 0; i < 4; ++i) w[i] = t->w[i].get();
    free_quoly(&rank);
    auto t0 = Clock::now();
    if (smith)
      intnormal(&rank, &a->q, want, w[0], w[1], w[2], w[3], false, nullptr, nullptr, 83);
    else
      intcolred(&rank, &a->q, want, w[0], w[1], w[2], w[3], nullptr, false, nullptr);
    ours.push_back(ms_since(t0));
#ifdef TAVRIN_PEER_FLINT
    if (with_peer) {
      t0 = Clock::now();
      if (smith)
        fmpz_mat_snf(h, m);
      else if (transforms)
        fmpz_mat_hnf_transform(h, u, m);
      else
        fmpz_mat_hnf(h, m);
      peer.push_back(ms_since(t0));
    }
#endif
  }
#ifdef TAVRIN_PEER_FLINT
  if (with_peer) {
    same = true;
    mpz_t z;
    mpz_init(z);
    for (std::int32_t r = 0; r < n && same; ++r)
      for (std::int32_t c = 0; c < n && same; ++c) {
        fmpz_get_mpz(z, smith ? fmpz_mat_entry(h, r, c) : fmpz_mat_entry(h, c, r));
        same = same_number(a->at(r, c), z);
      }
    mpz_clear(z);
  }
  fmpz_mat_clear(m);
  fmpz_mat_clear(h);
  fmpz_mat_clear(u);
#endif
  char size[32];
  std::snprintf(size, sizeof size, "n = %d", n);
  report(name, size, median(ours), "FLINT", peer.empty() ? 0.0 : median(peer), same);
  free_quoly(&rank);
}

void normal_form_rows() {
  if (!wanted("integer normal form")) return;
  allocate_work_areas();
  for (std::int32_t n : {100, 300, 500})
    normal_form_row("integer normal form, Hermite", n, false, false, true, n < 500 ? 5 : 3);
  for (std::int32_t n : {100, 300, 500})
    normal_form_row("integer normal form, Hermite+transf", n, false, true, true, n == 100 ? 3 : 1);
  for (std::int32_t n : {100, 300, 500})
    normal_form_row("integer normal form, Smith", n, true, false, n == 100, 3);
  for (std::int32_t n : {100, 300, 500})
    normal_form_row("integer normal form, Smith+transf", n, true, true, false, 1);
}

// ---- Characteristic polynomials ---------------------------------------------------------
// int_char_poly (det(A - xI)) against fmpz_mat_charpoly (det(xI - A)) on n x n
// matrices with entries in [-99, 99].
void char_poly_rows() {
  if (!wanted("characteristic polynomial")) return;
  adjoin_xyz();
  for (std::int32_t n : {64, 200, 400}) {
    std::mt19937_64 rng(static_cast<std::uint64_t>(n) + 52);
    std::vector<long> vals(static_cast<std::size_t>(n) * n);
    std::vector<quoly> cells(vals.size(), nullptr);
    for (std::size_t k = 0; k < vals.size(); ++k) {
      vals[k] = static_cast<long>(rng() % 199) - 99;
      quoly_set(static_cast<std::int32_t>(vals[k]), &cells[k]);
    }
    quoly cp = nullptr;
    auto ours = [&] { int_char_poly(cells, n, &cp); };
    std::function<void()> peer;
    bool same = false;
#ifdef TAVRIN_PEER_FLINT
    fmpz_mat_t m;
    fmpz_poly_t f;
    fmpz_mat_init(m, n, n);
    fmpz_poly_init(f);
    for (std::int32_t c = 0; c < n; ++c)
      for (std::int32_t r = 0; r < n; ++r)
        fmpz_set_si(fmpz_mat_entry(m, r, c), vals[static_cast<std::size_t>(c) * n + r]);
    peer = [&] { fmpz_mat_charpoly(f, m); };
#endif
    auto [t, p] = time_pair(ours, peer);
#ifdef TAVRIN_PEER_FLINT
    // Walk the terms of det(A - xI) = (-1)^n det(xI - A), highest first.
    mpz_t z;
    mpz_init(z);
    same = true;
    long next = n;
    for (poly q = cp->numer; q != nullptr; q = q->next) {
      const long e = q->numb ? 0 : q->exp;
      for (; next > e; --next) same = same && fmpz_is_zero(f->coeffs + next);
      fmpz_poly_get_coeff_mpz(z, f, e);
      if (n % 2 != 0) mpz_neg(z, z);
      same = same && same_number(q->numb ? q->ncoef : q->pcoef->ncoef, z);
      next = e - 1;
    }
    for (; next >= 0; --next) same = same && fmpz_is_zero(f->coeffs + next);
    mpz_clear(z);
    fmpz_poly_clear(f);
    fmpz_mat_clear(m);
#endif
    char size[32];
    std::snprintf(size, sizeof size, "n = %d", n);
    report("characteristic polynomial [-99, 99]", size, t, "FLINT", p, same);
    free_quoly(&cp);
    for (quoly& c : cells) free_quoly(&c);
  }
}

int main(int argc, char** argv) {
  if (argc > 1) bench::row_filter = argv[1];
  open_pools();
  initialize(TAVRIN_BENCH_DATA_DIR);
  std::printf("\n%-34s %-22s %13s   %-9s %13s   %7s\n", "kernel", "size", "Tavrin", "peer", "peer",
              "ratio");
  sparse_rows();
  integer_rows();
  small_number_rows();
  factorial_rows();
  dense_rows();
  gcd_rows();
  factor_rows();
  int_det_rows();
  normal_form_rows();
  char_poly_rows();
  return 0;
}
