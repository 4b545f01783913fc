// Rational functions in one variable beside FLINT in one run: the normal
// form of a quotient (cancelling the GCD of numerator and denominator) over
// GF(p)(x) and Q(x), the product of two quotients with cross cancellation,
// and the determinant of a 200 x 200 matrix over GF(32003)[x] by the
// router's default route (interpolation from determinants of numbers). Each row
// builds its operands from a fixed seed, times Tavrin and FLINT on them
// alternately (processor seconds, medians; one run each when Tavrin needs
// more than two seconds), checks equal answers and prints the ratio.
//
// Rows:
//   normal form GF(p)(x) (g a)/(g b), g, a, b random of degree d/2 modulo 32003
//                        (FLINT: nmod_poly_gcd and two exact divisions)
//   normal form Q(x)     the same with coefficients in [-99, 99] (FLINT:
//                        fmpz_poly_q_canonicalise)
//   product GF(p)(x)     (g1 a / g2 b) (g2 c / g1 d), all of degree d/2
//                        (FLINT: the two cross GCDs, four exact divisions,
//                        two products)
//   gcd Z[x]             polygcd beside fmpz_poly_gcd, random and planted
//                        pairs of degrees 10 to 2000, 10 to 5000 digits
//   det GF(32003)[x]     200 x 200, entries dense of degree 4, the leading
//                        coefficient not 0 (FLINT: nmod_poly_mat_det); the
//                        instance of compare_gcd
//
//   compare_ratfun [row-prefix]     e.g. compare_ratfun det
// TAVRIN_DET_N sets the side of the determinant (200), for profiles;
// TAVRIN_TERM_LISTS=1 keeps rational functions on term lists and the
// one-variable GCD off the residue half-GCD (the figures before them);
// TAVRIN_NO_WORD_GCD=1 keeps small one-variable GCDs over Z off the word
// path (the figures before it).
// Peers serve this comparison only.
#include <time.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/work_arrays.h"
#include "poly/intpoly.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "gcd/gcd.h"
#include "gcd/gcd_stash.h"
#include "gcd/onevar_gcd.h"
#include "quoly/quoly.h"
#include "quoly/quoly_mult.h"
#include "quoly/quoly_normal_form.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/det_upcalls.h"
#include "det/router.h"
#include "frontend/data_files.h"
#include "frontend/startup.h"
#include "bench_ring.h"
#include "peers.h"

#ifdef TAVRIN_PEER_FLINT
#include <flint/fmpz.h>
#include <flint/fmpz_poly.h>
#include <flint/fmpz_poly_q.h>
#include <flint/nmod_poly.h>
#include <flint/nmod_poly_mat.h>
#endif

namespace {

using namespace tavrin;

using bench::wanted;

// Seven runs each, as the figures of this program were taken.
std::pair<double, double> time_pair(const std::function<void()>& ours,
                                    const std::function<void()>& peer) {
  bench::PairTiming how;
  how.reps = 7;
  return bench::time_pair(ours, peer, how);
}

void report(const char* row, const char* size, double t, double p, bool same) {
  if (p > 0)
    std::printf("%-22s %-26s %11.6f s   FLINT %11.6f s  %7.2fx  %s\n", row, size, t, p, t / p,
                same ? "same" : "DIFFERENT");
  else
    std::printf("%-22s %-26s %11.6f s\n", row, size, t);
  std::fflush(stdout);
}

// ---- Values ------------------------------------------------------------------------------------

// x adjoined (once).
void adjoin_x() {
  if (polynames != nullptr) return;
  polypt r = nullptr;
  newpt(&r);
  std::strncpy(r->let.name, "x", 10);
  r->let.address = -1;
  r->depth = 1;
  polynames = r;
  number_polys = 1;
}

// Coefficients, entry i that of x^i (residues in modular rows).
using Coefs = std::vector<std::int64_t>;

poly leaf_of(std::int64_t c) {
  poly p = nullptr;
  poly_set(static_cast<std::int32_t>(c), &p);
  if (lintmode) p->ncoef->lint = static_cast<std::int32_t>(c);
  return p;
}

poly tavrin_poly(const Coefs& c) {
  poly head = nullptr;
  poly* tail = &head;
  for (std::size_t e = c.size(); e-- > 1;)
    if (c[e] != 0) {
      *tail = nodes::new_term(static_cast<std::int32_t>(e), leaf_of(c[e]));
      tail = &(*tail)->next;
    }
  if (c.empty() || c[0] != 0 || head == nullptr) *tail = leaf_of(c.empty() ? 0 : c[0]);
  return head;
}

// The coefficients of a one-variable polynomial (as residues or machine
// integers; the benchmark's values fit).
[[maybe_unused]] Coefs coefs_of(poly p) {
  Coefs c;
  for (; p != nullptr; p = p->next) {
    const poly leaf = p->numb ? p : p->pcoef;
    const std::size_t e = p->numb ? 0 : static_cast<std::size_t>(p->exp);
    if (c.size() < e + 1) c.resize(e + 1, 0);
    std::int64_t v = 0;
    if (lintmode) {
      v = leaf->ncoef->lint;
    } else {
      for (numptr l = leaf->ncoef->head; l != nullptr; l = l->next) v = v * (1 << 28) + l->value;
    }
    c[e] = v;
  }
  return c;
}

Coefs random_coefs(std::mt19937_64& rng, int deg, std::int64_t p, std::int64_t bound) {
  Coefs c(static_cast<std::size_t>(deg) + 1);
  for (auto& v : c)
    v = p > 0
            ? static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(p))
            : static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(2 * bound + 1)) - bound;
  if (c.back() == 0) c.back() = 1;
  return c;
}

poly product(poly a, poly b) {
  poly r = nullptr;
  poly_mult(a, b, &r, polynames);
  return r;
}

// The quotient a / b as a value (a, b used up).
quoly quotient(poly a, poly b) { return nodes::new_ratfun_value(a, b); }

#ifdef TAVRIN_PEER_FLINT
void nmod_of(nmod_poly_t r, const Coefs& c) {
  for (std::size_t e = 0; e < c.size(); ++e)
    nmod_poly_set_coeff_ui(r, static_cast<slong>(e), static_cast<ulong>(c[e]));
}
void fmpz_of(fmpz_poly_t r, const Coefs& c) {
  for (std::size_t e = 0; e < c.size(); ++e) fmpz_poly_set_coeff_si(r, static_cast<slong>(e), c[e]);
}
bool same_nmod(const Coefs& c, const nmod_poly_t f) {
  if (static_cast<slong>(c.size()) != nmod_poly_length(f)) return false;
  for (std::size_t e = 0; e < c.size(); ++e)
    if (static_cast<ulong>(c[e]) != nmod_poly_get_coeff_ui(f, static_cast<slong>(e))) return false;
  return true;
}
bool same_fmpz(const Coefs& c, const fmpz_poly_t f) {
  if (static_cast<slong>(c.size()) != fmpz_poly_length(f)) return false;
  for (std::size_t e = 0; e < c.size(); ++e)
    if (c[e] != fmpz_poly_get_coeff_si(f, static_cast<slong>(e))) return false;
  return true;
}
#endif

// ---- Normal forms ------------------------------------------------------------------------------

void normal_form_rows(bool modular) {
  const char* row = modular ? "normal form GF(p)(x)" : "normal form Q(x)";
  if (!wanted(row)) return;
  const std::int64_t p = modular ? 32003 : 0;
  const bench::ModularRing ring(static_cast<std::int32_t>(p));
  const std::vector<int> degrees =
      modular ? std::vector<int>{20, 100, 400, 2000} : std::vector<int>{10, 40, 100};
  for (int d : degrees) {
    std::mt19937_64 rng(static_cast<std::uint64_t>(d) * 31 + (modular ? 1 : 2));
    const Coefs g = random_coefs(rng, d / 2, p, 99), a = random_coefs(rng, d / 2, p, 99),
                b = random_coefs(rng, d / 2, p, 99);
    poly tg = tavrin_poly(g), ta = tavrin_poly(a), tb = tavrin_poly(b);
    poly ga = product(tg, ta), gb = product(tg, tb);
    quoly q = nullptr;
    auto ours = [&] {
      free_quoly(&q);
      q = nodes::new_ratfun_value(nullptr, nullptr);
      poly_assign(ga, &q->numer);
      poly_assign(gb, &q->denom);
      bench::new_command();
      check_quoly(&q, false);
    };
    std::function<void()> peer;
    bool same = false;
#ifdef TAVRIN_PEER_FLINT
    nmod_poly_t ng, nn, nd, nq1, nq2;
    fmpz_poly_q_t fq;
    fmpz_poly_t fn, fd;
    if (modular) {
      for (auto* x : {ng, nn, nd, nq1, nq2}) nmod_poly_init(x, static_cast<ulong>(p));
      const Coefs cn = coefs_of(ga), cd = coefs_of(gb);
      nmod_of(nn, cn);
      nmod_of(nd, cd);
      peer = [&] {
        nmod_poly_gcd(ng, nn, nd);
        nmod_poly_div(nq1, nn, ng);
        nmod_poly_div(nq2, nd, ng);
        const ulong lc = nmod_poly_lead(nq2)[0];
        const ulong inv = n_invmod(lc, static_cast<ulong>(p));
        nmod_poly_scalar_mul_nmod(nq1, nq1, inv);
        nmod_poly_scalar_mul_nmod(nq2, nq2, inv);
      };
    } else {
      fmpz_poly_q_init(fq);
      fmpz_poly_init(fn);
      fmpz_poly_init(fd);
      fmpz_of(fn, coefs_of(ga));
      fmpz_of(fd, coefs_of(gb));
      peer = [&] {
        fmpz_poly_set(fmpz_poly_q_numref(fq), fn);
        fmpz_poly_set(fmpz_poly_q_denref(fq), fd);
        fmpz_poly_q_canonicalise(fq);
      };
    }
#endif
    const auto [t, pt] = time_pair(ours, peer);
#ifdef TAVRIN_PEER_FLINT
    if (!q->numb && q->denom != nullptr) {
      if (modular) {
        same = same_nmod(coefs_of(q->numer), nq1) && same_nmod(coefs_of(q->denom), nq2);
        for (auto* x : {ng, nn, nd, nq1, nq2}) nmod_poly_clear(x);
      } else {
        same = same_fmpz(coefs_of(q->numer), fmpz_poly_q_numref(fq)) &&
               same_fmpz(coefs_of(q->denom), fmpz_poly_q_denref(fq));
        fmpz_poly_q_clear(fq);
        fmpz_poly_clear(fn);
        fmpz_poly_clear(fd);
      }
    }
#endif
    char size[40];
    std::snprintf(size, sizeof size, "degree %d / %d", d, d);
    report(row, size, t, pt, same);
    free_quoly(&q);
    for (poly* x : {&tg, &ta, &tb, &ga, &gb}) free_poly(x);
  }
}

// ---- GCDs over Z --------------------------------------------------------------------------------

// A random polynomial of degree d whose coefficients have `bits` bits (the
// top one not zero), random signs.
IntPoly random_intpoly(std::mt19937_64& rng, int d, int bits) {
  IntPoly r;
  const int words = (bits + 63) / 64;
  std::vector<IntPoly::word> w(static_cast<std::size_t>(words));
  for (int i = 0; i <= d; ++i) {
    for (auto& x : w) x = rng();
    if (bits % 64 != 0) w.back() &= (IntPoly::word{1} << (bits % 64)) - 1;
    if (i == d) w.back() |= IntPoly::word{1} << ((bits - 1) % 64);
    r.push(w.data(), words, rng() % 2 != 0);
  }
  r.trim();
  return r;
}

#ifdef TAVRIN_PEER_FLINT
void fmpz_poly_of(fmpz_poly_t f, const IntPoly& a) {
  fmpz_poly_zero(f);
  fmpz_t c;
  fmpz_init(c);
  for (int i = 0; i <= a.degree(); ++i) {
    if (a.len(i) == 0) continue;
    fmpz_set_ui_array(c, reinterpret_cast<const ulong*>(a.mag(i)), a.len(i));
    if (a.neg(i)) fmpz_neg(c, c);
    fmpz_poly_set_coeff_fmpz(f, i, c);
  }
  fmpz_clear(c);
}

IntPoly intpoly_of_fmpz(const fmpz_poly_t f) {
  IntPoly r;
  fmpz_t c;
  fmpz_init(c);
  std::vector<ulong> w;
  for (slong i = 0; i < fmpz_poly_length(f); ++i) {
    fmpz_poly_get_coeff_fmpz(c, f, i);
    const bool neg = fmpz_sgn(c) < 0;
    fmpz_abs(c, c);
    w.assign(fmpz_size(c) + 1, 0);
    if (!fmpz_is_zero(c)) fmpz_get_ui_array(w.data(), static_cast<slong>(fmpz_size(c)), c);
    r.push(reinterpret_cast<const IntPoly::word*>(w.data()),
           static_cast<std::int32_t>(fmpz_size(c)), neg);
  }
  fmpz_clear(c);
  r.trim();
  return r;
}
#endif

// polygcd (the driver's default route) against fmpz_poly_gcd: random pairs
// (coprime as a rule) and planted pairs g a, g b (g, a, b of half the degree
// and half the bits).
void gcd_rows() {
  const char* row = "gcd Z[x]";
  if (!wanted(row)) return;
  struct Size {
    int degree, digits;
  };
  for (const bool planted : {false, true}) {
    for (const Size z : {Size{10, 10}, Size{100, 100}, Size{500, 500}, Size{2000, 100},
                         Size{100, 5000}, Size{1000, 2000}, Size{2000, 5000}}) {
      std::mt19937_64 rng(static_cast<std::uint64_t>(z.degree) * 131 +
                          static_cast<std::uint64_t>(z.digits));
      const int bits = z.digits * 3322 / 1000;
      IntPoly ia, ib;
#ifdef TAVRIN_PEER_FLINT
      fmpz_poly_t fa, fb, fg;
      fmpz_poly_init(fa);
      fmpz_poly_init(fb);
      fmpz_poly_init(fg);
#endif
      if (planted) {
        const IntPoly g = random_intpoly(rng, z.degree / 2, bits / 2),
                      a = random_intpoly(rng, z.degree / 2, bits / 2),
                      b = random_intpoly(rng, z.degree / 2, bits / 2);
        ia = intpoly_mul(g, a);
        ib = intpoly_mul(g, b);
      } else {
        ia = random_intpoly(rng, z.degree, bits);
        ib = random_intpoly(rng, z.degree, bits);
      }
      poly u = intpoly_to_poly(ia), v = intpoly_to_poly(ib), g = nullptr;
      auto ours = [&] {
        bench::new_command();
        alg_c_count = 0;
        original_depth = 1;
        polygcd(u, v, &g, polynames);
      };
      std::function<void()> peer;
#ifdef TAVRIN_PEER_FLINT
      fmpz_poly_of(fa, ia);
      fmpz_poly_of(fb, ib);
      peer = [&] { fmpz_poly_gcd(fg, fa, fb); };
#endif
      const auto [t, pt] = time_pair(ours, peer);
      bool same = false;
#ifdef TAVRIN_PEER_FLINT
      IntPoly mine;
      same = intpoly_of(g, &mine) && mine == intpoly_of_fmpz(fg);
      fmpz_poly_clear(fa);
      fmpz_poly_clear(fb);
      fmpz_poly_clear(fg);
#endif
      char size[48];
      std::snprintf(size, sizeof size, "%s deg %d, %d digits", planted ? "planted" : "random",
                    z.degree, z.digits);
      report(row, size, t, pt, same);
      for (poly* x : {&u, &v, &g}) free_poly(x);
    }
  }
}

// ---- Products ----------------------------------------------------------------------------------

void product_rows() {
  const char* row = "product GF(p)(x)";
  if (!wanted(row)) return;
  const std::int64_t p = 32003;
  const bench::ModularRing ring(static_cast<std::int32_t>(p));
  for (int d : {20, 100, 400, 2000}) {
    std::mt19937_64 rng(static_cast<std::uint64_t>(d) * 37);
    const int h = d / 2;
    poly g1 = tavrin_poly(random_coefs(rng, h, p, 0)), g2 = tavrin_poly(random_coefs(rng, h, p, 0));
    poly a = tavrin_poly(random_coefs(rng, h, p, 0)), b = tavrin_poly(random_coefs(rng, h, p, 0));
    poly c = tavrin_poly(random_coefs(rng, h, p, 0)), e = tavrin_poly(random_coefs(rng, h, p, 0));
    // Both operands in lowest terms: (g1 a) / (g2 b) and (g2 c) / (g1 e),
    // each denominator made monic as the normal form leaves it.
    quoly x = quotient(product(g1, a), product(g2, b)),
          y = quotient(product(g2, c), product(g1, e));
    bench::new_command();
    check_quoly(&x, false);
    check_quoly(&y, false);
    quoly r = nullptr;
    auto ours = [&] {
      bench::new_command();
      quoly_mult(x, y, &r);
    };
    std::function<void()> peer;
    bool same = false;
#ifdef TAVRIN_PEER_FLINT
    nmod_poly_t xa, xb, ya, yb, g, s, t, u, v, rn, rd;
    for (auto* z : {xa, xb, ya, yb, g, s, t, u, v, rn, rd})
      nmod_poly_init(z, static_cast<ulong>(p));
    nmod_of(xa, coefs_of(x->numer));
    nmod_of(xb, coefs_of(x->denom));
    nmod_of(ya, coefs_of(y->numer));
    nmod_of(yb, coefs_of(y->denom));
    peer = [&] {
      nmod_poly_gcd(g, xa, yb);
      nmod_poly_div(s, xa, g);
      nmod_poly_div(t, yb, g);
      nmod_poly_gcd(g, ya, xb);
      nmod_poly_div(u, ya, g);
      nmod_poly_div(v, xb, g);
      nmod_poly_mul(rn, s, u);
      nmod_poly_mul(rd, v, t);
    };
#endif
    const auto [tt, pt] = time_pair(ours, peer);
#ifdef TAVRIN_PEER_FLINT
    if (!r->numb && r->denom != nullptr) {
      const ulong inv = n_invmod(nmod_poly_lead(rd)[0], static_cast<ulong>(p));
      nmod_poly_scalar_mul_nmod(rn, rn, inv);
      nmod_poly_scalar_mul_nmod(rd, rd, inv);
      same = same_nmod(coefs_of(r->numer), rn) && same_nmod(coefs_of(r->denom), rd);
    }
    for (auto* z : {xa, xb, ya, yb, g, s, t, u, v, rn, rd}) nmod_poly_clear(z);
#endif
    char size[40];
    std::snprintf(size, sizeof size, "degree %d / %d", d, d);
    report(row, size, tt, pt, same);
    for (quoly* z : {&x, &y, &r}) free_quoly(z);
    for (poly* z : {&g1, &g2, &a, &b, &c, &e}) free_poly(z);
  }
}

// ---- The determinant ---------------------------------------------------------------------------

void det_row() {
  const char* row = "det GF(32003)[x]";
  if (!wanted(row)) return;
  const char* side = std::getenv("TAVRIN_DET_N");
  const int n = side != nullptr ? std::atoi(side) : 200;
  const std::int64_t p = 32003;
  const bench::ModularRing ring(static_cast<std::int32_t>(p));
  std::mt19937_64 rng(12);
  std::vector<Coefs> m(static_cast<std::size_t>(n) * static_cast<std::size_t>(n));
  for (auto& c : m) {  // the draws of compare_gcd: from x^4 down to 1
    c.assign(5, 0);
    for (int e = 4; e >= 0; --e) {
      std::int64_t v = static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(p));
      if (e == 4 && v == 0) v = 1;
      c[static_cast<std::size_t>(e)] = v;
    }
  }
  auto w = std::make_unique<workarray>();
  const std::int32_t cells = n * n;
  quoly d = nullptr;
  const char* route = std::getenv("TAVRIN_DET_ROUTE");  // L: Lagrange, K: Gauss-Bareiss
  auto ours = [&] {
    const ScopedValue<std::int32_t> lagrange(
        rat_det_method_cut, route != nullptr && route[0] == 'L' ? 1 : rat_det_method_cut);
    const ScopedValue<std::int32_t> bareiss(gauss_cutoff,
                                            route != nullptr && route[0] == 'K' ? 1 : gauss_cutoff);
    for (std::int32_t k = 0; k < cells; ++k) {
      free_quoly(&w->stash[k]);
      w->stash[k] = quotient(tavrin_poly(m[static_cast<std::size_t>(k)]), nullptr);
    }
    bench::new_command();
    free_quoly(&d);
    quoly_set(1, &d);
    d->next = nullptr;
    sparseptr spar = nullptr;
    mat_invert(w.get(), w.get(), n, &d, &spar, nullptr, -1, -1, -1, 0, {.equal = true});
  };
  std::function<void()> peer;
  bool same = false;
#ifdef TAVRIN_PEER_FLINT
  nmod_poly_mat_t fm;
  nmod_poly_t fd;
  nmod_poly_mat_init(fm, n, n, static_cast<mp_limb_t>(p));
  nmod_poly_init(fd, static_cast<mp_limb_t>(p));
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c)  // cell c n + r is row r, column c
      nmod_of(nmod_poly_mat_entry(fm, r, c), m[static_cast<std::size_t>(c * n + r)]);
  peer = [&] { nmod_poly_mat_det(fd, fm); };
#endif
  const auto [t, pt] = time_pair(ours, peer);
  if (std::getenv("TAVRIN_BENCH_STATS") != nullptr)
    std::printf(
        "  one-variable GCDs: cache hits %ld, dense %ld, word %ld, value GCDs %ld; initial_memory "
        "%ld lookups %ld entries %ld emptied %ld\n",
        onevar_gcd_routes.cache_hits, onevar_gcd_routes.dense_engine, onevar_gcd_routes.word_engine,
        value_gcd_requests, static_cast<long>(initial_memory), onevar_gcd_routes.word_top,
        gcd_stash_contents().entries, gcd_stash_contents().emptied);
#ifdef TAVRIN_PEER_FLINT
  if (d->numb)
    same = nmod_poly_length(fd) <= 1 &&
           static_cast<ulong>(d->ncoef->lint) == nmod_poly_get_coeff_ui(fd, 0);
  else if (d->denom == nullptr)
    same = same_nmod(coefs_of(d->numer), fd);
  nmod_poly_clear(fd);
  nmod_poly_mat_clear(fm);
#endif
  for (std::int32_t k = 0; k < cells; ++k) free_quoly(&w->stash[k]);
  free_quoly(&d);
  char size[40];
  std::snprintf(size, sizeof size, "%d x %d, degree 4", n, n);
  report(row, size, t, pt, same);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) bench::row_filter = argv[1];
  raise_stack_limit();
  open_pools();
  initialize(TAVRIN_BENCH_DATA_DIR);
  set_language_defaults();
  initial_memory =
      100 * 225000;  // the budget of a start-up file without a figure, as tavrin has it
  totalavailablememory = static_cast<std::uint64_t>(4 * initial_memory);
  allocate_work_areas();
  adjoin_x();
  if (std::getenv("TAVRIN_TERM_LISTS") != nullptr) {
    residue_value_degree = INT32_MAX;
    onevar_hgcd_degree = INT32_MAX;
  }
  if (std::getenv("TAVRIN_NO_WORD_GCD") != nullptr) integer_gcd_word_degree = 0;
  std::printf("\n%-22s %-26s %13s   %-5s %13s  %8s\n", "row", "size", "Tavrin", "peer", "",
              "ratio");
  gcd_rows();
  normal_form_rows(true);
  normal_form_rows(false);
  product_rows();
  det_row();
  return 0;
}
