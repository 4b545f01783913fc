// Polynomial GCDs, and the eliminations that cancel fractions with them,
// beside FLINT (and Singular where a row says so) in one run. Every row
// builds its instance from a fixed seed, times Tavrin's default route (no
// setting changed) and the peer on the same operands, alternating (medians; one run each when
// Tavrin needs more than two seconds), checks that both give the same answer and prints the ratio.
// Times are processor seconds. Each row runs in a child process with a time
// limit (TAVRIN_ROW_SECONDS of wall time, default 240), so a row that does
// not finish is reported as stopped and the next row still runs.
//
// Rows:
//   gcd dense 4     GCD of g a and g b over Z, g, a, b every monomial of total
//                   degree <= 16 in 4 variables, coefficients in [-99, 99]
//   gcd dense 5     the same, 5 variables, total degree <= 12
//   gcd sparse 8    g, a, b 300 random terms of total degree <= 12 in 8 variables
//   gcd sparse 8 500  the same, 500 terms of total degree <= 15
//   gcd sparse 8 mod p, gcd sparse 8 500 mod p   both modulo 2147483629
//                   (the four sparse 8 rows beside Singular's gcd too)
//   gcd sparse 6    g, a, b 20 random terms of total degree <= 6 in 6 variables
//   gcd eight N     the sweep's GCD(g a, g b) in 8 variables, g, a, b of N
//                   terms each, exponents below 5 (N = 128 .. 768; with
//                   Singular too)
//   det Q(x,y,z)    12 x 12, every entry the 10 monomials of total degree <= 2
//                   in x, y, z, coefficients in [-9, 9] not 0 (FLINT: Bareiss;
//                   Singular: det)
//   det Q(x,y,z) 16 the same, 16 x 16
//   det sparse 34   34 x 34 stored sparse, 3 entries a row (the diagonal and
//                   two random columns), each of 1 or 2 terms of total degree
//                   <= 2 in x, y, z, w, coefficients in [-9, 9] not 0
//   det sparse 37   the same, 37 x 37
//   inverse Q(x,y)  12 x 12 and 16 x 16, every entry the 6 monomials of total
//                   degree <= 2 in x, y (FLINT: fraction-free Gauss-Jordan)
//   det GF(32003)[x] 200 x 200, entries dense of degree 4 (FLINT: nmod_poly_mat_det)
//   gcd mod 7       g of total degree 7, a, b of total degree 8 in x, y, z,
//                   coefficients uniform modulo 7 (top degree 15)
//   det GF(7)[x,y]  11 x 11, entries 6 of the 10 monomials of total degree <= 3
//                   (peer: Tavrin's own Gauss-Bareiss, &(K = 1))
//   det GF(2)[x,y,z] 7 x 7, entries non-empty sums of 1, x, y, z (peer: &(K = 1))
//   det GF(2)[x,y,z] 20 .. 50, det GF(3)[x,y,z] 20 .. 50
//                   n x n, in each row the diagonal and 4 other random columns
//                   ("full": every column, sides 20 and 30),
//                   each such entry 1 or 2 of the monomials 1, x, y, z with
//                   random non-zero residues (peer: Singular's det, answers
//                   compared term by term; TAVRIN_BENCH_OLD=1 also times the
//                   route before the extension-field interpolation)
//
//   compare_gcd [row-prefix]     e.g. compare_gcd "gcd sparse"
// TAVRIN_BENCH_GIAC=1 adds Giac's det (one thread) to the determinant rows
// over Q; TAVRIN_BENCH_LAGRANGE=1 times those rows by "&(L = 1)";
// TAVRIN_BENCH_PLANE_TERMS sets zippel_plane_terms (2147483647: the sparse
// GCD engine with images in one variable only).
// Peers serve this comparison only.
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/work_arrays.h"
#include "poly/poly_mult.h"
#include "poly/poly_repr.h"
#include "gcd/flat/flat_gcd_impl.h"
#include "gcd/flat_gcd.h"
#include "gcd/gcd.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/det_upcalls.h"
#include "arrays/sparse_store.h"
#include "det/lagrange.h"
#include "det/router.h"
#include "frontend/data_files.h"
#include "frontend/startup.h"
#include "bench_ring.h"
#include "peers.h"

#ifdef TAVRIN_PEER_FLINT
#include <flint/fmpz.h>
#include <flint/fmpz_mpoly.h>
#include <flint/nmod_mpoly.h>
#include <flint/nmod_poly.h>
#include <flint/nmod_poly_mat.h>
#endif

namespace {

using namespace tavrin;
using bench::run_singular;
using Clock = std::chrono::steady_clock;

using bench::wanted;
int peer_pipe = -1;  // the child writes its first peer time here

double seconds_since(Clock::time_point t0) {
  return std::chrono::duration<double>(Clock::now() - t0).count();
}

// Times ours() and peer() alternately: five runs each, or TAVRIN_BENCH_REPS
// runs (then without stopping early); TAVRIN_BENCH_NO_PEER leaves the peer
// out. The first peer time goes to the parent through peer_pipe.
std::pair<double, double> time_pair(const std::function<void()>& ours,
                                    const std::function<void()>& peer) {
  const char* reps_env = std::getenv("TAVRIN_BENCH_REPS");
  bench::PairTiming how;
  how.reps = reps_env != nullptr ? std::atoi(reps_env) : 5;
  how.stop_when_slow = reps_env == nullptr;
  how.peer_once_after = reps_env == nullptr ? 5.0 : 0.0;
  if (peer_pipe >= 0)
    how.first_peer = [](double t) {
      [[maybe_unused]] const auto n = write(peer_pipe, &t, sizeof t);
    };
  const bool peer_on = peer && std::getenv("TAVRIN_BENCH_NO_PEER") == nullptr;
  return bench::time_pair(ours, peer_on ? peer : std::function<void()>{}, how);
}

// With TAVRIN_BENCH_STATS set, what the flat engines did in this row's process.
void flat_stats() {
  if (std::getenv("TAVRIN_BENCH_STATS") == nullptr) return;
  std::printf(
      "  flat: calls %ld dense %ld sparse %ld (plane %ld) extension %ld primes %ld division primes "
      "%ld declined %ld\n",
      flat_gcd_stats.calls, flat_gcd_stats.dense, flat_gcd_stats.sparse, flat_gcd_stats.plane,
      flat_gcd_stats.extension, flat_gcd_stats.primes, flat_gcd_stats.division_primes,
      flat_gcd_stats.declined);
  std::printf("  divisions: dense %ld heap %ld (dividend terms %ld) integer %ld\n",
              flat::flat_divisions.dense, flat::flat_divisions.heap,
              flat::flat_divisions.heap_terms, flat::flat_divisions.integer);
}

void report(const char* row, const char* size, double t, const char* peer, double p, bool same) {
  if (p > 0) {
    std::printf("%-18s %-30s %10.4f s   %-8s %10.4f s  %7.2fx  %s\n", row, size, t, peer, p, t / p,
                same ? "same" : "DIFFERENT");
  } else {
    std::printf("%-18s %-30s %10.4f s   %-8s %10s\n", row, size, t, peer, "-");
  }
  std::fflush(stdout);
  flat_stats();
}

// ---- Instances ---------------------------------------------------------------------------------

// A term: exponents of the row's variables (the first is Tavrin's top
// variable and FLINT's most significant) and a coefficient (a residue in
// modular rows).
struct Mono {
  std::vector<std::int32_t> e;
  std::int64_t c;
};
using Terms = std::vector<Mono>;

std::int64_t nonzero(std::mt19937_64& rng, std::int64_t bound) {
  std::int64_t v = 0;
  while (v == 0)
    v = static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(2 * bound + 1)) - bound;
  return v;
}

// Every exponent vector of n variables with total degree <= d.
std::vector<std::vector<std::int32_t>> all_monomials(int n, int d) {
  std::vector<std::vector<std::int32_t>> out;
  std::vector<std::int32_t> e(static_cast<std::size_t>(n), 0);
  auto walk = [&](auto&& self, std::size_t k, int left) -> void {
    if (k == e.size()) {
      out.push_back(e);
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

// Every monomial of total degree <= d, coefficients in [-bound, bound] not 0
// (p > 0: uniform residues modulo p, 0 included).
Terms dense_terms(std::mt19937_64& rng, int n, int d, std::int64_t bound, std::int64_t p = 0) {
  Terms t;
  for (auto& e : all_monomials(n, d)) {
    const std::int64_t c = p > 0 ? static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(p))
                                 : nonzero(rng, bound);
    if (c != 0) t.push_back({e, c});
  }
  return t;
}

// `count` distinct random monomials of total degree <= d in n variables
// (the degree uniform, its units spread over random variables).
Terms sparse_terms(std::mt19937_64& rng, int n, int count, int d, std::int64_t bound) {
  std::set<std::vector<std::int32_t>> seen;
  Terms t;
  while (static_cast<int>(t.size()) < count) {
    std::vector<std::int32_t> e(static_cast<std::size_t>(n), 0);
    const int total = static_cast<int>(rng() % static_cast<std::uint64_t>(d + 1));
    for (int k = 0; k < total; ++k) ++e[rng() % static_cast<std::uint64_t>(n)];
    if (seen.insert(e).second) t.push_back({e, nonzero(rng, bound)});
  }
  return t;
}

// ---- Tavrin values -----------------------------------------------------------------------------

// x, y, z, w, v, u, t, s adjoined, n of them, x the top variable.
void adjoin(int n) {
  const char* names[] = {"x", "y", "z", "w", "v", "u", "t", "s"};
  polypt* link = &polynames;
  for (std::int16_t d = 1; d <= n; ++d) {
    polypt r = nullptr;
    newpt(&r);
    std::strncpy(r->let.name, names[d - 1], 10);
    r->let.address = -1;
    r->depth = d;
    *link = r;
    link = &r->next;
  }
  number_polys = static_cast<std::int16_t>(n);
}

poly leaf_of(std::int64_t c) {
  poly p = nullptr;
  poly_set(static_cast<std::int32_t>(c), &p);
  if (lintmode) p->ncoef->lint = static_cast<std::int32_t>(c);
  return p;
}

// The recursive polynomial of terms[lo, hi) (sorted, exponents from `level`
// on decreasing), at that level.
poly build_level(const Terms& t, std::size_t lo, std::size_t hi, std::size_t level) {
  if (level == t[lo].e.size()) return leaf_of(t[lo].c);
  poly head = nullptr;
  poly* tail = &head;
  std::size_t i = lo;
  while (i < hi) {
    std::size_t j = i;
    while (j < hi && t[j].e[level] == t[i].e[level]) ++j;
    const std::int32_t e = t[i].e[level];
    poly coef = build_level(t, i, j, level + 1);
    if (e == 0 && nodes::is_bare_leaf(coef)) {
      *tail = coef;  // the constant term ends the list
    } else {
      *tail = nodes::new_term(e, coef);
      tail = &(*tail)->next;
    }
    i = j;
  }
  return head;
}

// Tavrin's polynomial of the terms (zero coefficients dropped).
poly tavrin_poly(Terms t) {
  std::erase_if(t, [](const Mono& m) { return m.c == 0; });
  if (t.empty()) return leaf_of(0);
  std::sort(t.begin(), t.end(), [](const Mono& a, const Mono& b) { return a.e > b.e; });
  return build_level(t, 0, t.size(), 0);
}

quoly tavrin_value(const Terms& t) {
  poly p = tavrin_poly(t);
  if (nodes::is_bare_leaf(p)) {
    quoly q = nodes::new_number_value(p->ncoef);
    p->ncoef = nullptr;
    p->numb = false;
    p->pcoef = nullptr;
    free_poly(&p);
    return q;
  }
  return nodes::new_ratfun_value(p, nullptr);
}

// The terms of a Tavrin polynomial in n variables: coefficients as text
// (big integers) or residues.
struct Walked {
  std::vector<std::vector<std::int32_t>> e;
  std::vector<std::string> c;
};

std::string number_text(imptr x) {
  if (lintmode) return std::to_string(x->lint);
  // Decimal by repeated division of a base-2^28 digit vector.
  std::vector<std::uint32_t> d;
  bool neg = false;
  for (numptr l = x->head; l != nullptr; l = l->next) {
    if (l->value < 0) neg = true;
    d.push_back(static_cast<std::uint32_t>(std::abs(l->value)));
  }
  std::string s;
  while (!d.empty()) {
    std::uint64_t r = 0;
    for (auto& v : d) {
      const std::uint64_t cur = (r << 28) | v;
      v = static_cast<std::uint32_t>(cur / 10);
      r = cur % 10;
    }
    s.push_back(static_cast<char>('0' + r));
    while (!d.empty() && d.front() == 0) d.erase(d.begin());
  }
  if (s.empty()) s = "0";
  if (neg) s.push_back('-');
  std::reverse(s.begin(), s.end());
  return s;
}

void walk(poly p, std::size_t level, std::vector<std::int32_t>& e, Walked& out) {
  for (; p != nullptr; p = p->next) {
    if (p->numb) {
      for (std::size_t k = level; k < e.size(); ++k) e[k] = 0;
      out.e.push_back(e);
      out.c.push_back(number_text(p->ncoef));
      continue;
    }
    e[level] = p->exp;
    walk(p->pcoef, level + 1, e, out);
    e[level] = 0;
  }
}

Walked walked(poly p, int n) {
  Walked w;
  std::vector<std::int32_t> e(static_cast<std::size_t>(n), 0);
  walk(p, 0, e, w);
  return w;
}

#ifdef TAVRIN_PEER_FLINT
// ---- FLINT values ------------------------------------------------------------------------------

void flint_poly(fmpz_mpoly_t r, const Terms& t, const fmpz_mpoly_ctx_t ctx) {
  fmpz_mpoly_init(r, ctx);
  std::vector<ulong> e;
  for (const Mono& m : t) {
    e.assign(m.e.begin(), m.e.end());
    fmpz_mpoly_push_term_si_ui(r, static_cast<slong>(m.c), e.data(), ctx);
  }
  fmpz_mpoly_sort_terms(r, ctx);
  fmpz_mpoly_combine_like_terms(r, ctx);
}

void flint_poly(nmod_mpoly_t r, const Terms& t, const nmod_mpoly_ctx_t ctx) {
  nmod_mpoly_init(r, ctx);
  std::vector<ulong> e;
  for (const Mono& m : t) {
    e.assign(m.e.begin(), m.e.end());
    nmod_mpoly_push_term_ui_ui(r, static_cast<ulong>(m.c), e.data(), ctx);
  }
  nmod_mpoly_sort_terms(r, ctx);
  nmod_mpoly_combine_like_terms(r, ctx);
}

// Tavrin's polynomial p as a FLINT one.
void flint_of(fmpz_mpoly_t r, poly p, int n, const fmpz_mpoly_ctx_t ctx) {
  const Walked w = walked(p, n);
  fmpz_mpoly_init(r, ctx);
  fmpz_t c;
  fmpz_init(c);
  std::vector<ulong> e;
  for (std::size_t k = 0; k < w.e.size(); ++k) {
    fmpz_set_str(c, w.c[k].c_str(), 10);
    e.assign(w.e[k].begin(), w.e[k].end());
    fmpz_mpoly_push_term_fmpz_ui(r, c, e.data(), ctx);
  }
  fmpz_clear(c);
  fmpz_mpoly_sort_terms(r, ctx);
  fmpz_mpoly_combine_like_terms(r, ctx);
}

void flint_of(nmod_mpoly_t r, poly p, int n, const nmod_mpoly_ctx_t ctx) {
  const Walked w = walked(p, n);
  nmod_mpoly_init(r, ctx);
  std::vector<ulong> e;
  for (std::size_t k = 0; k < w.e.size(); ++k) {
    e.assign(w.e[k].begin(), w.e[k].end());
    nmod_mpoly_push_term_ui_ui(r, std::stoul(w.c[k]), e.data(), ctx);
  }
  nmod_mpoly_sort_terms(r, ctx);
  nmod_mpoly_combine_like_terms(r, ctx);
}

// A fraction-free (Bareiss) determinant of the n x n matrix m (row-major,
// used up).
void flint_bareiss(fmpz_mpoly_t det, std::vector<fmpz_mpoly_struct>& m, int n,
                   const fmpz_mpoly_ctx_t ctx) {
  auto at = [&](int r, int c) { return &m[static_cast<std::size_t>(r * n + c)]; };
  fmpz_mpoly_t prev, t1, t2;
  fmpz_mpoly_init(prev, ctx);
  fmpz_mpoly_init(t1, ctx);
  fmpz_mpoly_init(t2, ctx);
  fmpz_mpoly_one(prev, ctx);
  int sign = 1;
  for (int k = 0; k < n - 1; ++k) {
    if (fmpz_mpoly_is_zero(at(k, k), ctx)) {
      int r = k + 1;
      while (r < n && fmpz_mpoly_is_zero(at(r, k), ctx)) ++r;
      if (r == n) {
        fmpz_mpoly_zero(det, ctx);
        return;
      }
      for (int c = 0; c < n; ++c) fmpz_mpoly_swap(at(k, c), at(r, c), ctx);
      sign = -sign;
    }
    for (int i = k + 1; i < n; ++i) {
      for (int j = k + 1; j < n; ++j) {
        fmpz_mpoly_mul(t1, at(k, k), at(i, j), ctx);
        fmpz_mpoly_mul(t2, at(i, k), at(k, j), ctx);
        fmpz_mpoly_sub(t1, t1, t2, ctx);
        fmpz_mpoly_divides(at(i, j), t1, prev, ctx);
      }
    }
    fmpz_mpoly_set(prev, at(k, k), ctx);
  }
  fmpz_mpoly_set(det, at(n - 1, n - 1), ctx);
  if (sign < 0) fmpz_mpoly_neg(det, det, ctx);
  for (auto* p : {prev, t1, t2}) fmpz_mpoly_clear(p, ctx);
}

// Fraction-free Gauss-Jordan on (A | I), n x 2n row-major, used up: the left
// block becomes d I and the right block d A^-1, d = +- det A (*d).
void flint_gauss_jordan(fmpz_mpoly_t d, std::vector<fmpz_mpoly_struct>& m, int n,
                        const fmpz_mpoly_ctx_t ctx) {
  const int w = 2 * n;
  auto at = [&](int r, int c) { return &m[static_cast<std::size_t>(r * w + c)]; };
  fmpz_mpoly_t prev, t1, t2;
  fmpz_mpoly_init(prev, ctx);
  fmpz_mpoly_init(t1, ctx);
  fmpz_mpoly_init(t2, ctx);
  fmpz_mpoly_one(prev, ctx);
  for (int k = 0; k < n; ++k) {
    if (fmpz_mpoly_is_zero(at(k, k), ctx)) {
      int r = k + 1;
      while (r < n && fmpz_mpoly_is_zero(at(r, k), ctx)) ++r;
      for (int c = 0; c < w && r < n; ++c) fmpz_mpoly_swap(at(k, c), at(r, c), ctx);
    }
    for (int i = 0; i < n; ++i) {
      if (i == k) continue;
      for (int j = 0; j < w; ++j) {
        if (j == k) continue;
        fmpz_mpoly_mul(t1, at(k, k), at(i, j), ctx);
        fmpz_mpoly_mul(t2, at(i, k), at(k, j), ctx);
        fmpz_mpoly_sub(t1, t1, t2, ctx);
        fmpz_mpoly_divides(at(i, j), t1, prev, ctx);
      }
      fmpz_mpoly_zero(at(i, k), ctx);
    }
    fmpz_mpoly_set(prev, at(k, k), ctx);
  }
  fmpz_mpoly_set(d, prev, ctx);
  for (auto* p : {prev, t1, t2}) fmpz_mpoly_clear(p, ctx);
}
#endif

// ---- Singular ----------------------------------------------------------------------------------

// The text of a polynomial for Singular (variables x, y, z, w, ...).
std::string singular_text(const Terms& t) {
  const char* names[] = {"x", "y", "z", "w", "v", "u", "t", "s"};
  std::string s;
  for (const Mono& m : t) {
    if (m.c == 0) continue;
    s += (m.c < 0 ? "-" : s.empty() ? "" : "+") + std::to_string(std::abs(m.c));
    for (std::size_t k = 0; k < m.e.size(); ++k)
      if (m.e[k] > 0) s += std::string("*") + names[k] + "^" + std::to_string(m.e[k]);
  }
  return s.empty() ? "0" : s;
}

// The same for a Tavrin polynomial's terms.
std::string singular_text(const Walked& w) {
  const char* names[] = {"x", "y", "z", "w", "v", "u", "t", "s"};
  std::string s;
  for (std::size_t i = 0; i < w.e.size(); ++i) {
    const std::string& c = w.c[i];
    s += (c[0] == '-' || s.empty() ? "" : "+") + c;
    for (std::size_t k = 0; k < w.e[i].size(); ++k)
      if (w.e[i][k] > 0) s += std::string("*") + names[k] + "^" + std::to_string(w.e[i][k]);
  }
  return s.empty() ? "0" : s;
}

// Singular's gcd of g a and g b (modulo p when p > 0) in n variables: its
// processor seconds (best of up to five runs by its own timer, one when a
// run takes over two seconds) into *seconds, and whether its GCD is a
// constant multiple of Tavrin's `mine`; false when Singular did not run.
bool singular_gcd(int n, std::int64_t p, const Terms& g, const Terms& a, const Terms& b,
                  const Walked& mine, double* seconds, bool* same) {
  if (std::getenv("TAVRIN_BENCH_NO_PEER") != nullptr) return false;
  const char* names[] = {"x", "y", "z", "w", "v", "u", "t", "s"};
  std::string vars;
  for (int k = 0; k < n; ++k) vars += std::string(k ? "," : "") + names[k];
  const std::string script =
      "system(\"--ticks-per-sec\",1000000);\nring R=" + std::to_string(p) + ",(" + vars +
      "),dp;\n" + "poly g=" + singular_text(g) + ";\npoly a=" + singular_text(a) +
      ";\npoly b=" + singular_text(b) + ";\npoly T=" + singular_text(mine) +
      ";\npoly U=g*a; poly V=g*b; poly r; int best=2147483647; int t; int i;\n"
      "for(i=1;i<=5;i++){t=timer; r=gcd(U,V); t=timer-t; if(t<best){best=t;} "
      "if(t>2000000){break;}}\n"
      "print(best); print(r*leadcoef(T)==T*leadcoef(r));\nquit;\n";
  const std::vector<std::string> lines = run_singular(script, 400);
  if (lines.size() < 2) return false;
  *seconds = std::atof(lines[0].c_str()) / 1e6;
  *same = lines[1] == "1";
  return true;
}

// ---- GCD rows ----------------------------------------------------------------------------------

// One GCD row: Tavrin's polygcd of g a and g b beside FLINT and, with
// `singular`, beside Singular (a second line).
void gcd_row(const char* row, const char* size, int n, std::int64_t p, const Terms& tg,
             const Terms& ta, const Terms& tb, bool singular = false) {
  adjoin(n);
  const bench::ModularRing ring(static_cast<std::int32_t>(p));
  poly g = tavrin_poly(tg), a = tavrin_poly(ta), b = tavrin_poly(tb), u = nullptr, v = nullptr,
       r = nullptr;
  poly_mult(g, a, &u, polynames);
  poly_mult(g, b, &v, polynames);
  auto ours = [&] {
    bench::new_command();
    polygcd(u, v, &r, polynames);
  };
  std::function<void()> peer;
  bool same = false;
  double t = 0, pt = 0;
#ifdef TAVRIN_PEER_FLINT
  if (p == 0) {
    fmpz_mpoly_ctx_t ctx;
    fmpz_mpoly_ctx_init(ctx, n, ORD_LEX);
    fmpz_mpoly_t fg, fa, fb, fu, fv, fr, mine;
    flint_poly(fg, tg, ctx);
    flint_poly(fa, ta, ctx);
    flint_poly(fb, tb, ctx);
    fmpz_mpoly_init(fu, ctx);
    fmpz_mpoly_init(fv, ctx);
    fmpz_mpoly_init(fr, ctx);
    fmpz_mpoly_mul(fu, fg, fa, ctx);
    fmpz_mpoly_mul(fv, fg, fb, ctx);
    peer = [&] { fmpz_mpoly_gcd(fr, fu, fv, ctx); };
    std::tie(t, pt) = time_pair(ours, peer);
    flint_of(mine, r, n, ctx);
    same = fmpz_mpoly_equal(mine, fr, ctx) != 0;
    for (fmpz_mpoly_struct* x : {fg, fa, fb, fu, fv, fr, mine}) fmpz_mpoly_clear(x, ctx);
    fmpz_mpoly_ctx_clear(ctx);
    report(row, size, t, "FLINT", pt, same);
  } else {
    nmod_mpoly_ctx_t ctx;
    nmod_mpoly_ctx_init(ctx, n, ORD_LEX, static_cast<mp_limb_t>(p));
    nmod_mpoly_t fg, fa, fb, fu, fv, fr, mine;
    flint_poly(fg, tg, ctx);
    flint_poly(fa, ta, ctx);
    flint_poly(fb, tb, ctx);
    nmod_mpoly_init(fu, ctx);
    nmod_mpoly_init(fv, ctx);
    nmod_mpoly_init(fr, ctx);
    nmod_mpoly_mul(fu, fg, fa, ctx);
    nmod_mpoly_mul(fv, fg, fb, ctx);
    peer = [&] { nmod_mpoly_gcd(fr, fu, fv, ctx); };
    std::tie(t, pt) = time_pair(ours, peer);
    flint_of(mine, r, n, ctx);
    same = nmod_mpoly_equal(mine, fr, ctx) != 0;
    for (nmod_mpoly_struct* x : {fg, fa, fb, fu, fv, fr, mine}) nmod_mpoly_clear(x, ctx);
    nmod_mpoly_ctx_clear(ctx);
    report(row, size, t, "FLINT", pt, same);
  }
#else
  std::tie(t, pt) = time_pair(ours, peer);
  report(row, size, t, "FLINT", pt, same);
#endif
  double st = 0;
  if (singular && singular_gcd(n, p, tg, ta, tb, walked(r, n), &st, &same))
    report(row, size, t, "Singular", st, same);
}

void gcd_dense(int n, int d) {
  std::mt19937_64 rng(20261219);
  const Terms g = dense_terms(rng, n, d, 99), a = dense_terms(rng, n, d, 99),
              b = dense_terms(rng, n, d, 99);
  const std::string size = std::to_string(n) + " vars, total degree " + std::to_string(d);
  gcd_row(n == 4 ? "gcd dense 4" : "gcd dense 5", size.c_str(), n, 0, g, a, b);
}

void gcd_sparse(int n, int count, int d) {
  std::mt19937_64 rng(static_cast<std::uint64_t>(61000 + n));
  const Terms g = sparse_terms(rng, n, count, d, 99), a = sparse_terms(rng, n, count, d, 99),
              b = sparse_terms(rng, n, count, d, 99);
  const std::string size =
      std::to_string(n) + " vars, " + std::to_string(count) + " terms, deg <= " + std::to_string(d);
  gcd_row(n == 6         ? "gcd sparse 6"
          : count == 300 ? "gcd sparse 8"
                         : "gcd sparse 8 500",
          size.c_str(), n, 0, g, a, b, n == 8);
}

// The sparse rows modulo the word prime 2147483629 (coefficients in
// [-99, 99] taken as residues).
void gcd_sparse_mod(int n, int count, int d) {
  const std::int64_t p = 2147483629;
  std::mt19937_64 rng(static_cast<std::uint64_t>(61000 + n));
  auto residues = [p](Terms t) {
    for (Mono& m : t) m.c = ((m.c % p) + p) % p;
    return t;
  };
  const Terms g = residues(sparse_terms(rng, n, count, d, 99)),
              a = residues(sparse_terms(rng, n, count, d, 99)),
              b = residues(sparse_terms(rng, n, count, d, 99));
  const std::string size =
      std::to_string(n) + " vars, " + std::to_string(count) + " terms, deg <= " + std::to_string(d);
  gcd_row(count == 300 ? "gcd sparse 8 mod p" : "gcd sparse 8 500 mod p", size.c_str(), n, p, g, a,
          b, true);
}

// The sweep's row "GCD(g a, g b), 8 variables, n terms each": term k of
// g, a and b (k0 = 0, 1000, 2000) has the coefficient (k^2 + k) mod 19 + 1
// and in each variable the exponent ((31 k^2 + c k + 3) mod q) mod 5 for
// the pairs (c, q) below; terms that meet add up.
Terms eight_terms(int n, int k0) {
  const int c[8] = {7, 11, 13, 17, 19, 23, 29, 37}, q[8] = {101, 103, 107, 109, 113, 127, 131, 137};
  std::map<std::vector<std::int32_t>, std::int64_t> sum;
  for (std::int64_t k = k0 + 1; k <= k0 + n; ++k) {
    std::vector<std::int32_t> e(8);
    for (int v = 0; v < 8; ++v)
      e[static_cast<std::size_t>(v)] =
          static_cast<std::int32_t>(((31 * k * k + c[v] * k + 3) % q[v]) % 5);
    sum[e] += (k * k + k) % 19 + 1;
  }
  Terms t;
  for (const auto& [e, v] : sum) t.push_back({e, v});
  return t;
}

void gcd_eight(int n) {
  const std::string size = "8 vars, " + std::to_string(n) + " terms each";
  gcd_row(("gcd eight " + std::to_string(n)).c_str(), size.c_str(), 8, 0, eight_terms(n, 0),
          eight_terms(n, 1000), eight_terms(n, 2000), true);
}

void gcd_mod7() {
  std::mt19937_64 rng(7007);
  const Terms g = dense_terms(rng, 3, 7, 0, 7), a = dense_terms(rng, 3, 8, 0, 7),
              b = dense_terms(rng, 3, 8, 0, 7);
  gcd_row("gcd mod 7", "3 vars, degrees 7 + 8", 3, 7, g, a, b);
}

// ---- Matrix rows -------------------------------------------------------------------------------

// An n x n matrix of entries (column-major as the work arrays hold them).
using Matrix = std::vector<Terms>;

struct Work {
  std::unique_ptr<workarray> w = std::make_unique<workarray>();
  std::int32_t cells = 0;
  ~Work() { clear(); }
  void clear() {
    for (std::int32_t k = 0; k < cells; ++k) free_quoly(&w->stash[k]);
    cells = 0;
  }
  void fill(const Matrix& m) {
    clear();
    cells = static_cast<std::int32_t>(m.size());
    for (std::int32_t k = 0; k < cells; ++k)
      w->stash[k] = tavrin_value(m[static_cast<std::size_t>(k)]);
  }
};

// The determinant by the router's default route into *d.
void tavrin_det(Work& a, std::int32_t n, quoly* d) {
  bench::new_command();
  free_quoly(d);
  quoly_set(1, d);
  (*d)->next = nullptr;
  sparseptr spar = nullptr;
  mat_invert(a.w.get(), a.w.get(), n, d, &spar, nullptr, -1, -1, -1, 0, {.equal = true});
}

// The polynomial of a value (nil for a proper fraction).
poly numerator_of(quoly q, poly* own) {
  free_poly(own);
  if (q->numb) {
    imptr c = nullptr;
    newimag(&c);
    num_assign(q->ncoef, c);
    c->lint = q->ncoef->lint;
    *own = nodes::new_leaf(c);
    return *own;
  }
  return q->denom == nullptr ? q->numer : nullptr;
}

Matrix random_matrix(std::mt19937_64& rng, int n, const std::function<Terms()>& entry) {
  Matrix m(static_cast<std::size_t>(n) * n);
  for (auto& c : m) c = entry();
  (void)rng;
  return m;
}

const char* const singular_names[] = {"x", "y", "z", "w", "v", "u", "t", "s"};

// A Singular script that builds the n x n matrix m (column-major) in nv
// variables over the ring of characteristic `ch`, times det on it (best of
// up to five runs, one when a run takes over two seconds, in microseconds)
// and ends with `tail`, which prints what the caller reads back.
std::string singular_det_script(const Matrix& m, int n, int nv, const std::string& ch,
                                const std::string& tail) {
  std::string s = "system(\"--ticks-per-sec\",1000000);\nring R=" + ch + ",(";
  for (int k = 0; k < nv; ++k) s += std::string(k ? "," : "") + singular_names[k];
  s += "),dp; short=0;\nmatrix M[" + std::to_string(n) + "][" + std::to_string(n) + "]=";
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c)
      s += (r + c ? "," : "") + singular_text(m[static_cast<std::size_t>(c * n + r)]);
  return s +
         ";\npoly d; int best=2147483647; int t; int i;\n"
         "for(i=1;i<=5;i++){t=rtimer; d=det(M); t=rtimer-t; if(t<best){best=t;} "
         "if(t>2000000){break;}}\n" +
         tail + "\nquit;\n";
}

// What Singular's det made of the n x n matrix m over Q in nv variables:
// its processor seconds (best of up to five runs by its own timer, one
// when a run takes over two seconds), the number of terms of the
// determinant and its value at (2, 3, 5, 7, ...) as text; false when
// Singular is not there or gave up within `limit` seconds.
struct SingularDet {
  double seconds = 0;
  long terms = 0;
  std::string at_point;
};
bool singular_det(const Matrix& m, int n, int nv, int limit, SingularDet* out) {
  const int points[] = {2, 3, 5, 7, 11, 13, 17, 19};
  std::string subst;
  for (int k = 0; k < nv; ++k)
    subst += std::string(",") + singular_names[k] + "," + std::to_string(points[k]);
  const std::vector<std::string> lines =
      run_singular(singular_det_script(
                       m, n, nv, "0", "print(best); print(size(d)); print(subst(d" + subst + "));"),
                   limit);
  if (lines.size() < 3) return false;
  out->seconds = std::atof(lines[0].c_str()) / 1e6;
  out->terms = std::atol(lines[1].c_str());
  out->at_point = lines[2];
  return true;
}

// Giac's det on the same matrix (one thread), when `giac` is on PATH and
// TAVRIN_BENCH_GIAC is set: its time, its number of terms and its value at
// the point (2, 3, 5, 7, ...), as for Singular.
bool giac_det(const Matrix& m, int n, int nv, int limit, SingularDet* out) {
  if (std::getenv("TAVRIN_BENCH_GIAC") == nullptr || !bench::on_path("giac")) return false;
  const char* names[] = {"x", "y", "z", "w", "v", "u", "t", "s"};
  const int points[] = {2, 3, 5, 7, 11, 13, 17, 19};
  std::string vars, at;
  for (int k = 0; k < nv; ++k) {
    vars += std::string(k ? "," : "") + names[k];
    at += std::string(k ? "," : "") + std::to_string(points[k]);
  }
  std::string script =
      "threads:=1:;\nM:=matrix(" + std::to_string(n) + "," + std::to_string(n) + ",[";
  for (int r = 0; r < n; ++r) {
    script += std::string(r ? "," : "") + "[";
    for (int c = 0; c < n; ++c)
      script += std::string(c ? "," : "") + singular_text(m[static_cast<std::size_t>(c * n + r)]);
    script += "]";
  }
  script +=
      "]):;\nt:=time(d:=det(M)):;\nprint(\"seconds \"+t[0]);\nprint(\"terms \"+nops(expand(d)));\n"
      "print(\"value \"+subs(d,[" +
      vars + "],[" + at + "]));\n";
  bool seen[3] = {false, false, false};
  const bench::Watch watch{"", "", static_cast<double>(limit), 0};
  for (const std::string& s : bench::lines_of(bench::run_program("giac %s", script, watch).out)) {
    for (const char* key : {"seconds ", "terms ", "value "}) {
      const auto at_key = s.find(key);
      if (at_key == std::string::npos) continue;
      const std::string rest = s.substr(at_key + std::strlen(key));
      if (key[0] == 's') out->seconds = std::atof(rest.c_str()), seen[0] = true;
      if (key[0] == 't') out->terms = std::atol(rest.c_str()), seen[1] = true;
      if (key[0] == 'v') out->at_point = rest, seen[2] = true;
    }
  }
  return seen[0] && seen[1] && seen[2];
}

// A determinant row over Q: Tavrin's default route on the matrix stored
// dense or sparse, FLINT's Bareiss (fmpz_mpoly; not on the sparse rows,
// where it does not finish within 300 s) and Singular's det.
void det_q_row(const char* row, const char* size, const Matrix& m, int n, int nv, bool sparse) {
  Work a;
  if (!sparse) a.fill(m);
  quoly d = nullptr;
  auto ours = [&] {
    if (!sparse) {
      tavrin_det(a, n, &d);
      return;
    }
    bench::new_command();
    free_quoly(&d);
    quoly_set(1, &d);
    d->next = nullptr;
    sparseptr spar = nullptr;
    sparse_init(&spar, n);
    for (int r = 0; r < n; ++r) {
      colm_ptr* tail = sparse_row(spar, r + 1);
      for (int c = 0; c < n; ++c) {
        const Terms& t = m[static_cast<std::size_t>(c * n + r)];
        if (t.empty()) continue;
        colm_ptr e = nullptr;
        newcolm(&e);
        e->coord = c + 1;
        e->val = tavrin_value(t);
        e->next = nullptr;
        *tail = e;
        tail = &e->next;
      }
    }
    mat_invert(nullptr, nullptr, n, &d, &spar, nullptr, -1, -1, -1, 0, {.ar_free = true});
    if (spar != nullptr) free_sparse(&spar, n, true);
  };
  std::function<void()> peer;
  bool same = false;
#ifdef TAVRIN_PEER_FLINT
  fmpz_mpoly_ctx_t ctx;
  fmpz_mpoly_ctx_init(ctx, nv, ORD_LEX);
  fmpz_mpoly_t fd, mine;
  fmpz_mpoly_init(fd, ctx);
  if (!sparse)
    peer = [&] {
      std::vector<fmpz_mpoly_struct> fm(static_cast<std::size_t>(n) * n);
      for (int r = 0; r < n; ++r)
        for (int c = 0; c < n; ++c)
          flint_poly(&fm[static_cast<std::size_t>(r * n + c)],
                     m[static_cast<std::size_t>(c * n + r)], ctx);
      flint_bareiss(fd, fm, n, ctx);
      for (auto& x : fm) fmpz_mpoly_clear(&x, ctx);
    };
#endif
  const auto [t, pt] = time_pair(ours, peer);
  poly own = nullptr;
  poly dp = numerator_of(d, &own);
#ifdef TAVRIN_PEER_FLINT
  if (dp != nullptr) {
    flint_of(mine, dp, nv, ctx);
    if (sparse) fmpz_mpoly_set(fd, mine, ctx);  // Singular's answer is checked against it
    same = fmpz_mpoly_equal(mine, fd, ctx) != 0;
    fmpz_mpoly_clear(mine, ctx);
  }
#endif
  report(row, size, t, sparse ? "-" : "FLINT", pt, same);
  if (std::getenv("TAVRIN_BENCH_STATS") != nullptr)
    std::printf("  interpolation: primes %d points %ld, determinant terms %zu\n",
                lagrange_last.primes, static_cast<long>(lagrange_last.points),
                dp == nullptr ? std::size_t{0} : walked(dp, nv).e.size());
  SingularDet sd;
  if (std::getenv("TAVRIN_BENCH_NO_PEER") == nullptr && singular_det(m, n, nv, 400, &sd)) {
    bool agree = false;
#ifdef TAVRIN_PEER_FLINT
    // The Singular determinant's fingerprint against FLINT's.
    const int points[] = {2, 3, 5, 7, 11, 13, 17, 19};
    fmpz_t v;
    fmpz_init(v);
    std::vector<fmpz> at(static_cast<std::size_t>(nv));
    for (int k = 0; k < nv; ++k) {
      fmpz_init(&at[static_cast<std::size_t>(k)]);
      fmpz_set_si(&at[static_cast<std::size_t>(k)], points[k]);
    }
    std::vector<fmpz*> args;
    for (auto& x : at) args.push_back(&x);
    fmpz_mpoly_evaluate_all_fmpz(v, fd, args.data(), ctx);
    char* text = fmpz_get_str(nullptr, 10, v);
    agree = same && sd.at_point == text && sd.terms == fmpz_mpoly_length(fd, ctx);
    flint_free(text);
    for (auto& x : at) fmpz_clear(&x);
    fmpz_clear(v);
#endif
    report(row, size, t, "Singular", sd.seconds, agree);
  }
  SingularDet gd;
  if (giac_det(m, n, nv, 400, &gd)) {
    bool agree = false;
#ifdef TAVRIN_PEER_FLINT
    fmpz_t v;
    fmpz_init(v);
    std::vector<fmpz> at(static_cast<std::size_t>(nv));
    const int points[] = {2, 3, 5, 7, 11, 13, 17, 19};
    for (int k = 0; k < nv; ++k) {
      fmpz_init(&at[static_cast<std::size_t>(k)]);
      fmpz_set_si(&at[static_cast<std::size_t>(k)], points[k]);
    }
    std::vector<fmpz*> args;
    for (auto& x : at) args.push_back(&x);
    fmpz_mpoly_evaluate_all_fmpz(v, fd, args.data(), ctx);
    char* text = fmpz_get_str(nullptr, 10, v);
    agree = same && gd.at_point == text && gd.terms == fmpz_mpoly_length(fd, ctx);
    flint_free(text);
    for (auto& x : at) fmpz_clear(&x);
    fmpz_clear(v);
#endif
    report(row, size, t, "Giac", gd.seconds, agree);
  }
  free_poly(&own);
#ifdef TAVRIN_PEER_FLINT
  fmpz_mpoly_clear(fd, ctx);
  fmpz_mpoly_ctx_clear(ctx);
#endif
  free_quoly(&d);
}

void det_qxyz(int n) {
  adjoin(3);
  std::mt19937_64 rng(n == 12 ? 5 : static_cast<std::uint64_t>(500 + n));
  const auto mons = all_monomials(3, 2);
  const Matrix m = random_matrix(rng, n, [&] {
    Terms t;
    for (auto& e : mons) t.push_back({e, nonzero(rng, 9)});
    return t;
  });
  const std::string size = std::to_string(n) + " x " + std::to_string(n) + ", degree 2, 10 terms";
  det_q_row(n == 12 ? "det Q(x,y,z)" : "det Q(x,y,z) 16", size.c_str(), m, n, 3, false);
}

void det_sparse_q(int n) {
  adjoin(4);
  std::mt19937_64 rng(static_cast<std::uint64_t>(3400 + n));
  const auto mons = all_monomials(4, 2);
  Matrix m(static_cast<std::size_t>(n) * n);
  auto entry = [&] {
    Terms t;
    const int count = 1 + static_cast<int>(rng() % 2);
    std::set<std::size_t> picked;
    while (static_cast<int>(picked.size()) < count) picked.insert(rng() % mons.size());
    for (std::size_t k : picked) t.push_back({mons[k], nonzero(rng, 9)});
    return t;
  };
  for (int r = 0; r < n; ++r) {
    std::set<int> cols{r};
    while (cols.size() < 3) cols.insert(static_cast<int>(rng() % static_cast<std::uint64_t>(n)));
    for (int c : cols) m[static_cast<std::size_t>(c * n + r)] = entry();
  }
  const std::string size =
      std::to_string(n) + " x " + std::to_string(n) + " sparse, 3 a row, 4 vars";
  det_q_row(n == 34 ? "det sparse 34" : "det sparse 37", size.c_str(), m, n, 4, true);
}

void inverse_qxy(int n) {
  adjoin(2);
  std::mt19937_64 rng(static_cast<std::uint64_t>(1100 + n));
  const auto mons = all_monomials(2, 2);
  const Matrix m = random_matrix(rng, n, [&] {
    Terms t;
    for (auto& e : mons) t.push_back({e, nonzero(rng, 9)});
    return t;
  });
  Work a;
  auto ours = [&] {
    a.fill(m);
    bench::new_command();
    quoly cell = nullptr;
    quoly_set(1, &cell);
    cell->next = nullptr;
    sparseptr spar = nullptr;
    mat_invert(a.w.get(), a.w.get(), n, &cell, &spar, nullptr, -1, -1, -1, 0,
               {.ar_free = true, .oar_free = true, .invert = true, .equal = true});
    free_quoly(&cell);
  };
  std::function<void()> peer;
  bool same = false;
#ifdef TAVRIN_PEER_FLINT
  fmpz_mpoly_ctx_t ctx;
  fmpz_mpoly_ctx_init(ctx, 2, ORD_LEX);
  fmpz_mpoly_t fd;
  fmpz_mpoly_init(fd, ctx);
  std::vector<fmpz_mpoly_struct> fm;
  peer = [&] {
    for (auto& x : fm) fmpz_mpoly_clear(&x, ctx);
    fm.assign(static_cast<std::size_t>(n) * 2 * n, fmpz_mpoly_struct{});
    for (int r = 0; r < n; ++r)
      for (int c = 0; c < 2 * n; ++c) {
        fmpz_mpoly_struct* x = &fm[static_cast<std::size_t>(r * 2 * n + c)];
        if (c < n) {
          flint_poly(x, m[static_cast<std::size_t>(c * n + r)], ctx);
        } else {
          fmpz_mpoly_init(x, ctx);
          if (c - n == r) fmpz_mpoly_one(x, ctx);
        }
      }
    flint_gauss_jordan(fd, fm, n, ctx);
  };
#endif
  const auto [t, pt] = time_pair(ours, peer);
#ifdef TAVRIN_PEER_FLINT
  // Entry (r, c) of Tavrin's inverse N / D against FLINT's right block R / d:
  // N d = D R.
  same = !fm.empty();  // the peer ran
  fmpz_mpoly_t num, den, l, rr;
  for (auto* x : {num, den, l, rr}) fmpz_mpoly_init(x, ctx);
  for (int r = 0; r < n && same; ++r)
    for (int c = 0; c < n && same; ++c) {
      quoly q = a.w->stash[static_cast<std::size_t>(c * n + r)];
      poly own = nullptr;
      fmpz_mpoly_clear(num, ctx);
      fmpz_mpoly_clear(den, ctx);
      if (q->numb || q->denom == nullptr) {
        flint_of(num, numerator_of(q, &own), 2, ctx);
        fmpz_mpoly_init(den, ctx);
        fmpz_mpoly_one(den, ctx);
      } else {
        flint_of(num, q->numer, 2, ctx);
        flint_of(den, q->denom, 2, ctx);
      }
      free_poly(&own);
      fmpz_mpoly_mul(l, num, fd, ctx);
      fmpz_mpoly_mul(rr, den, &fm[static_cast<std::size_t>(r * 2 * n + n + c)], ctx);
      same = fmpz_mpoly_equal(l, rr, ctx) != 0;
    }
  for (auto* x : {num, den, l, rr, fd}) fmpz_mpoly_clear(x, ctx);
  for (auto& x : fm) fmpz_mpoly_clear(&x, ctx);
  fmpz_mpoly_ctx_clear(ctx);
#endif
  const std::string size = std::to_string(n) + " x " + std::to_string(n) + ", degree 2, 6 terms";
  report("inverse Q(x,y)", size.c_str(), t, "FLINT", pt, same);
}

void det_gf32003() {
  const int n = 200;
  const std::int64_t p = 32003;
  adjoin(1);
  const bench::ModularRing ring(static_cast<std::int32_t>(p));
  std::mt19937_64 rng(12);
  const Matrix m = random_matrix(rng, n, [&] {
    Terms t;
    for (int e = 4; e >= 0; --e) {
      std::int64_t c = static_cast<std::int64_t>(rng() % p);
      if (e == 4 && c == 0) c = 1;
      t.push_back({{e}, c});
    }
    return t;
  });
  Work a;
  a.fill(m);
  quoly d = nullptr;
  auto ours = [&] { tavrin_det(a, n, &d); };
  std::function<void()> peer;
  bool same = false;
#ifdef TAVRIN_PEER_FLINT
  nmod_poly_mat_t fm;
  nmod_poly_t fd;
  nmod_poly_mat_init(fm, n, n, static_cast<mp_limb_t>(p));
  nmod_poly_init(fd, static_cast<mp_limb_t>(p));
  for (int r = 0; r < n; ++r)
    for (int c = 0; c < n; ++c)
      for (const Mono& t : m[static_cast<std::size_t>(c * n + r)])
        nmod_poly_set_coeff_ui(nmod_poly_mat_entry(fm, r, c), static_cast<ulong>(t.e[0]),
                               static_cast<ulong>(t.c));
  peer = [&] { nmod_poly_mat_det(fd, fm); };
#endif
  const auto [t, pt] = time_pair(ours, peer);
#ifdef TAVRIN_PEER_FLINT
  poly own = nullptr;
  poly dp = numerator_of(d, &own);
  if (dp != nullptr) {
    const Walked w = walked(dp, 1);
    same = static_cast<slong>(w.e.size()) <= nmod_poly_length(fd);
    std::size_t k = 0;
    for (slong e = nmod_poly_degree(fd); e >= 0 && same; --e) {
      const ulong c = nmod_poly_get_coeff_ui(fd, e);
      if (k < w.e.size() && w.e[k][0] == e) {
        same = std::stoul(w.c[k]) == c;
        ++k;
      } else {
        same = c == 0;
      }
    }
    same = same && k == w.e.size();
  }
  free_poly(&own);
  nmod_poly_clear(fd);
  nmod_poly_mat_clear(fm);
#endif
  free_quoly(&d);
  report("det GF(32003)[x]", "200 x 200, degree 4", t, "FLINT", pt, same);
}

// A small-field determinant by the default route against Gauss-Bareiss
// (&(K = 1), without the interpolation that the default route tries first)
// on the same matrix.
void det_small_field(const char* row, const char* size, int n, int nvars, std::int64_t p,
                     const std::function<Terms()>& entry) {
  adjoin(nvars);
  const bench::ModularRing ring(static_cast<std::int32_t>(p));
  std::mt19937_64 rng(0);
  const Matrix m = random_matrix(rng, n, entry);
  Work a;
  a.fill(m);
  quoly d = nullptr, k1 = nullptr;
  auto ours = [&] { tavrin_det(a, n, &d); };
  auto peer = [&] {
    const ScopedValue<std::int32_t> bareiss(gauss_cutoff, 1),
        eliminate(quiet_lagrange_side, INT32_MAX);
    tavrin_det(a, n, &k1);
  };
  const auto [t, pt] = time_pair(ours, peer);
  poly o1 = nullptr, o2 = nullptr;
  poly x = numerator_of(d, &o1), y = k1 == nullptr ? nullptr : numerator_of(k1, &o2);
  const bool same = x != nullptr && y != nullptr && poly_equal(x, y);
  free_poly(&o1);
  free_poly(&o2);
  free_quoly(&d);
  free_quoly(&k1);
  report(row, size, t, "K = 1", pt, same);
}

void det_gf7() {
  std::mt19937_64 rng(77);
  const auto mons = all_monomials(2, 3);
  det_small_field("det GF(7)[x,y]", "11 x 11, degree 3, 6 terms", 11, 2, 7, [&] {
    std::vector<std::size_t> idx(mons.size());
    for (std::size_t k = 0; k < idx.size(); ++k) idx[k] = k;
    std::shuffle(idx.begin(), idx.end(), rng);
    Terms t;
    for (std::size_t k = 0; k < 6; ++k)
      t.push_back({mons[idx[k]], 1 + static_cast<std::int64_t>(rng() % 6)});
    return t;
  });
}

void det_gf2() {
  std::mt19937_64 rng(22);
  const auto mons = all_monomials(3, 1);
  det_small_field("det GF(2)[x,y,z]", "7 x 7, degree 1", 7, 3, 2, [&] {
    Terms t;
    while (t.empty())
      for (auto& e : mons)
        if (rng() % 2 != 0) t.push_back({e, 1});
    return t;
  });
}

// Singular's det of the n x n matrix m over GF(p) in nv variables (entries
// with residues 0 .. p-1): its processor seconds (best of up to five runs,
// one when a run takes over two seconds) and its terms as exponent vector ->
// residue; false when Singular is not there or gave up within `limit` seconds.
bool singular_det_mod(const Matrix& m, int n, int nv, int p, int limit, double* seconds,
                      std::map<std::vector<std::int32_t>, std::int64_t>* terms) {
  const char* const* names = singular_names;
  const std::string answer = "/tmp/tavrin_compare_det_mod_" + std::to_string(::getpid()) + ".txt";
  const std::vector<std::string> lines =
      run_singular(singular_det_script(m, n, nv, std::to_string(p),
                                       "write(\":w " + answer + "\", string(d)); print(best);"),
                   limit);
  const std::string first = lines.empty() ? "" : lines[0];
  std::string text;
  if (FILE* a = std::fopen(answer.c_str(), "r")) {
    int ch = 0;
    while ((ch = std::fgetc(a)) != EOF)
      if (!std::isspace(ch)) text.push_back(static_cast<char>(ch));
    std::fclose(a);
  }
  std::remove(answer.c_str());
  if (first.empty() || text.empty()) return false;
  *seconds = std::atof(first.c_str()) / 1e6;
  // Terms such as -x^2*y*z, 2*x, -1 (short=0 spelling).
  terms->clear();
  std::size_t i = 0;
  while (i < text.size()) {
    std::int64_t sign = 1, c = 1;
    if (text[i] == '+' || text[i] == '-') sign = text[i++] == '-' ? -1 : 1;
    if (std::isdigit(static_cast<unsigned char>(text[i]))) {
      c = 0;
      while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])))
        c = c * 10 + (text[i++] - '0');
      if (i < text.size() && text[i] == '*') ++i;
    }
    std::vector<std::int32_t> e(static_cast<std::size_t>(nv), 0);
    while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i]))) {
      const int var = static_cast<int>(
          std::find_if(names, names + nv, [&](const char* v) { return v[0] == text[i]; }) - names);
      ++i;
      std::int32_t x = 1;
      if (i < text.size() && text[i] == '^') {
        x = 0;
        for (++i; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i)
          x = x * 10 + (text[i] - '0');
      }
      if (var < nv) e[static_cast<std::size_t>(var)] += x;
      if (i < text.size() && text[i] == '*') ++i;
    }
    const std::int64_t r = ((sign * c) % p + p) % p;
    if (r != 0) (*terms)[e] = r;
  }
  if (text == "0") terms->clear();
  return true;
}

// A determinant modulo a small prime in x, y, z: Tavrin's default route and
// its old route (small_field_lagrange_side out of reach: the determinant
// over the integers reduced) on the same matrix, against Singular's det;
// every answer checked term by term against Singular's. The matrix: n x n,
// in each row the diagonal and per_row - 1 other random columns, each of
// those entries one or two distinct monomials of {1, x, y, z} with random
// non-zero residues; the other entries 0.
void det_small_prime(int n, int p, int per_row) {
  adjoin(3);
  const bench::ModularRing ring(p);
  std::mt19937_64 rng(static_cast<std::uint64_t>(100 * n + p + 7 * per_row));
  const auto mons = all_monomials(3, 1);
  Matrix m(static_cast<std::size_t>(n) * n);
  for (int r = 0; r < n; ++r) {
    std::set<int> cols{r};
    while (cols.size() < static_cast<std::size_t>(per_row))
      cols.insert(static_cast<int>(rng() % static_cast<std::uint64_t>(n)));
    for (int c : cols) {
      Terms t;
      const std::size_t count = 1 + rng() % 2;
      std::set<std::size_t> picked;
      while (picked.size() < count) picked.insert(rng() % mons.size());
      for (std::size_t k : picked)
        t.push_back(
            {mons[k], 1 + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(p - 1))});
      m[static_cast<std::size_t>(c * n + r)] = t;
    }
  }
  Work a;
  a.fill(m);
  quoly d = nullptr, old = nullptr;
  auto ours = [&] { tavrin_det(a, n, &d); };
  auto old_route = [&] {
    const ScopedValue<std::int32_t> off(small_field_lagrange_side, INT32_MAX);
    tavrin_det(a, n, &old);
  };
  const std::string row = "det GF(" + std::to_string(p) + ")[x,y,z] " + std::to_string(n) +
                          (per_row == n ? " full" : "");
  const std::string size = std::to_string(n) + " x " + std::to_string(n) + ", " +
                           std::to_string(per_row) + " a row, degree 1";
  double ps = 0;
  std::map<std::vector<std::int32_t>, std::int64_t> want;
  const bool peer = std::getenv("TAVRIN_BENCH_NO_PEER") == nullptr &&
                    singular_det_mod(m, n, 3, p, 400, &ps, &want);
  auto agrees = [&](quoly v) {
    poly own = nullptr;
    poly x = v == nullptr ? nullptr : numerator_of(v, &own);
    bool same = x != nullptr && peer;
    if (same) {
      const Walked w = walked(x, 3);
      std::map<std::vector<std::int32_t>, std::int64_t> got;
      for (std::size_t k = 0; k < w.e.size(); ++k)
        if (std::stoll(w.c[k]) % p != 0) got[w.e[k]] = (std::stoll(w.c[k]) % p + p) % p;
      same = got == want;
    }
    free_poly(&own);
    return same;
  };
  const auto [t, unused] = time_pair(ours, {});
  report(row.c_str(), size.c_str(), t, "Singular", peer ? ps : 0, agrees(d));
  if (std::getenv("TAVRIN_BENCH_OLD") != nullptr) {
    const auto [t_old, unused_old] = time_pair(old_route, {});
    report((row + " old").c_str(), size.c_str(), t_old, "Singular", peer ? ps : 0, agrees(old));
  }
  free_quoly(&d);
  free_quoly(&old);
}

// ---- Driver ------------------------------------------------------------------------------------

struct Row {
  const char* name;
  std::function<void()> run;
};

void run_limited(const Row& row, double limit) {
  std::fflush(stdout);
  int fds[2] = {-1, -1};
  if (pipe(fds) != 0) return;
  const pid_t child = fork();
  if (child == 0) {
    close(fds[0]);
    peer_pipe = fds[1];
    row.run();
    std::fflush(stdout);
    _exit(0);
  }
  close(fds[1]);
  const auto t0 = Clock::now();
  int status = 0;
  for (;;) {
    const pid_t done = waitpid(child, &status, WNOHANG);
    if (done == child) break;
    if (seconds_since(t0) > limit) {
      kill(child, SIGKILL);
      waitpid(child, &status, 0);
      double peer = 0;
      if (read(fds[0], &peer, sizeof peer) == sizeof peer) {
        std::printf("%-18s %-30s   > %.0f s (stopped)   peer %10.4f s\n", row.name, "", limit,
                    peer);
      } else {
        std::printf("%-18s %-30s   > %.0f s (stopped)\n", row.name, "", limit);
      }
      std::fflush(stdout);
      close(fds[0]);
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  close(fds[0]);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    std::printf("%-18s %-30s   failed (status %d)\n", row.name, "", status);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) bench::row_filter = argv[1];
  raise_stack_limit();
  open_pools();
  initialize(TAVRIN_BENCH_DATA_DIR);
  set_language_defaults();
  totalavailablememory = static_cast<std::uint64_t>(4 * initial_memory);
  allocate_work_areas();
  if (first_available < 1) first_available = 1;
  if (const char* m = std::getenv("TAVRIN_BENCH_METHOD"))  // flat engines: dense or sparse only
    flat_gcd_choice = m[0] == 'd' ? flat_gcd_method::dense : flat_gcd_method::sparse;
  if (const char* t = std::getenv("TAVRIN_BENCH_FLAT_TERMS")) flat_gcd_terms = std::atoi(t);
  if (const char* t = std::getenv("TAVRIN_BENCH_PLANE_TERMS")) zippel_plane_terms = std::atoi(t);
  // The best route of the determinant rows: "&(L = 1)" (interpolation, its
  // primes and degrees found from the images).
  if (std::getenv("TAVRIN_BENCH_LAGRANGE") != nullptr) rat_det_method_cut = 1;
  const char* env = std::getenv("TAVRIN_ROW_SECONDS");
  const double limit = env != nullptr ? std::atof(env) : 240.0;
  const Row rows[] = {
      {"gcd dense 4", [] { gcd_dense(4, 16); }},
      {"gcd dense 5", [] { gcd_dense(5, 12); }},
      {"gcd sparse 8", [] { gcd_sparse(8, 300, 12); }},
      {"gcd sparse 8 500", [] { gcd_sparse(8, 500, 15); }},
      {"gcd sparse 8 mod p", [] { gcd_sparse_mod(8, 300, 12); }},
      {"gcd sparse 8 500 mod p", [] { gcd_sparse_mod(8, 500, 15); }},
      {"gcd sparse 6", [] { gcd_sparse(6, 20, 6); }},
      {"gcd eight 128", [] { gcd_eight(128); }},
      {"gcd eight 256", [] { gcd_eight(256); }},
      {"gcd eight 384", [] { gcd_eight(384); }},
      {"gcd eight 512", [] { gcd_eight(512); }},
      {"gcd eight 640", [] { gcd_eight(640); }},
      {"gcd eight 768", [] { gcd_eight(768); }},
      {"det Q(x,y,z)", [] { det_qxyz(12); }},
      {"det Q(x,y,z) 16", [] { det_qxyz(16); }},
      {"det sparse 34", [] { det_sparse_q(34); }},
      {"det sparse 37", [] { det_sparse_q(37); }},
      {"inverse Q(x,y) 12", [] { inverse_qxy(12); }},
      {"inverse Q(x,y) 16", [] { inverse_qxy(16); }},
      {"det GF(32003)[x]", det_gf32003},
      {"gcd mod 7", gcd_mod7},
      {"det GF(7)[x,y]", det_gf7},
      {"det GF(2)[x,y,z]", det_gf2},
      {"det GF(2)[x,y,z] 20", [] { det_small_prime(20, 2, 5); }},
      {"det GF(2)[x,y,z] 30", [] { det_small_prime(30, 2, 5); }},
      {"det GF(2)[x,y,z] 40", [] { det_small_prime(40, 2, 5); }},
      {"det GF(2)[x,y,z] 50", [] { det_small_prime(50, 2, 5); }},
      {"det GF(2)[x,y,z] 20 full", [] { det_small_prime(20, 2, 20); }},
      {"det GF(2)[x,y,z] 30 full", [] { det_small_prime(30, 2, 30); }},
      {"det GF(3)[x,y,z] 20", [] { det_small_prime(20, 3, 5); }},
      {"det GF(3)[x,y,z] 30", [] { det_small_prime(30, 3, 5); }},
      {"det GF(3)[x,y,z] 40", [] { det_small_prime(40, 3, 5); }},
      {"det GF(3)[x,y,z] 50", [] { det_small_prime(50, 3, 5); }},
      {"det GF(3)[x,y,z] 20 full", [] { det_small_prime(20, 3, 20); }},
      {"det GF(3)[x,y,z] 30 full", [] { det_small_prime(30, 3, 30); }},
  };
  std::printf("\n%-18s %-30s %12s   %-8s %12s  %8s\n", "row", "size", "Tavrin", "peer", "peer",
              "ratio");
  for (const Row& row : rows)
    if (wanted(row.name)) run_limited(row, limit);
  return 0;
}
