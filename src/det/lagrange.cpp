// The modular and floating interpolation drivers and the flat lists they
// work on (see det/lagrange.h); the integer driver is in lagrange_z.cpp.
#include "det/lagrange.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <map>
#include <type_traits>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/primes.h"
#include "numbers/word_mod.h"
#include "numbers/work_arrays.h"
#include "poly/poly_repr.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/image_tasks.h"
#include "matrix/residue_elimination.h"
#include "det/dense_gauss.h"
#include "det/lagrange_impl.h"
#include "det/lagrange_ring.h"
#include "det/method_services.h"

namespace tavrin {

std::int32_t lagrangedepth = 0;
std::int32_t neg_exponent_warning = 0;
std::int32_t (*lagrange_random)() = rand_integer3;
lagrange_counts lagrange_last;

namespace lagrange {

using nodes::new_leaf;
using nodes::new_number_value;
using nodes::new_ratfun_value;
using nodes::new_term;

// ---- Reading entries and writing answers -------------------------------------------

namespace {

template <class Leaf>
void walk(poly p, std::int32_t depth, std::vector<std::int32_t>& exps, Leaf&& leaf) {
  for (poly t = p; t != nullptr; t = t->next) {
    if (t->numb) {
      for (std::size_t k = static_cast<std::size_t>(depth) - 1; k < exps.size(); ++k) exps[k] = 0;
      leaf(t->ncoef);
    } else {
      exps[static_cast<std::size_t>(depth) - 1] = t->exp;
      walk(t->pcoef, depth + 1, exps, leaf);
    }
  }
}

}  // namespace

bool read_entry(quoly q, std::int32_t nv,
                const std::function<void(const std::int32_t*, imptr)>& put) {
  std::vector<std::int32_t> exps(static_cast<std::size_t>(std::max(nv, 1)), 0);
  if (q == nullptr) return true;
  if (q->numb) {
    put(exps.data(), q->ncoef);
    return true;
  }
  bool negative = false;
  walk(q->numer, 1, exps, [&](imptr n) {
    for (std::int32_t e : exps) negative = negative || e < 0;
    put(exps.data(), n);
  });
  return !negative;
}

namespace {

// Builds the polynomial of the terms [lo, hi) (sorted by exponent vectors,
// descending, no zero coefficient) at level depth.
poly build(const std::vector<const std::int32_t*>& e, const std::vector<imptr>& c, std::size_t lo,
           std::size_t hi, std::int32_t depth, std::int32_t nv) {
  if (depth > nv) return new_leaf(c[lo]);
  const auto at = static_cast<std::size_t>(depth) - 1;
  poly head = nullptr;
  poly* link = &head;
  std::size_t i = lo;
  while (i < hi) {
    std::size_t j = i;
    while (j < hi && e[j][at] == e[i][at]) ++j;
    poly coef = build(e, c, i, j, depth + 1, nv);
    poly node =
        (e[i][at] == 0 && coef->numb && coef->next == nullptr) ? coef : new_term(e[i][at], coef);
    *link = node;
    link = &node->next;
    i = j;
  }
  return head;
}

}  // namespace

poly write_poly(std::vector<std::int32_t>& exps, std::vector<imptr>& coefs, std::int32_t nv) {
  const std::size_t n = coefs.size();
  if (n == 0) {
    poly z = nullptr;
    poly_set(0, &z);
    return z;
  }
  std::vector<std::size_t> order(n);
  for (std::size_t k = 0; k < n; ++k) order[k] = k;
  const auto w = static_cast<std::size_t>(nv);
  std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return std::lexicographical_compare(exps.begin() + b * w, exps.begin() + b * w + w,
                                        exps.begin() + a * w, exps.begin() + a * w + w);
  });
  std::vector<const std::int32_t*> e(n);
  std::vector<imptr> c(n);
  for (std::size_t k = 0; k < n; ++k) {
    e[k] = exps.data() + order[k] * w;
    c[k] = coefs[order[k]];
  }
  coefs.clear();
  return build(e, c, 0, n, 1, nv);
}

void set_answer(quolyptr q, poly p) {
  free_quoly(q);
  if (p->numb && p->next == nullptr) {
    *q = new_number_value(p->ncoef);
    p->ncoef = nullptr;
    free_polynode_list(p, p);
  } else {
    *q = new_ratfun_value(p, nullptr);
  }
}

void set_residue_answer(quolyptr q, Flat<std::uint32_t>& f, std::int32_t nv) {
  std::vector<imptr> coefs;
  for (std::uint32_t c : f.c) {
    imptr x = nullptr;
    newimag(&x);
    x->lint = static_cast<std::int32_t>(c);
    x->flote = 0;
    coefs.push_back(x);
  }
  set_answer(q, write_poly(f.e, coefs, nv));
}

// ---- The degree bound ------------------------------------------------------------------

}  // namespace lagrange

std::int64_t compute_degree(std::int64_t* D, std::int32_t m) {
  constexpr std::int64_t top = std::int64_t{1} << 28;
  auto at = [&](std::int32_t r, std::int32_t c) -> std::int64_t& {
    return D[static_cast<std::size_t>(r) * static_cast<std::size_t>(m) +
             static_cast<std::size_t>(c)];
  };
  std::int64_t bound = 0;
  // Line k (a column when by_col, else a row) from position b on, less its
  // least entry in 0..top-1, which the bound gains; false when it has none.
  auto take_least = [&](std::int32_t b, bool by_col, std::int32_t k) {
    auto cell = [&](std::int32_t x) -> std::int64_t& { return by_col ? at(x, k) : at(k, x); };
    std::int64_t least = -1;
    for (std::int32_t x = b; x < m; ++x)
      if (cell(x) >= 0 && cell(x) < top && (least < 0 || cell(x) < least)) least = cell(x);
    if (least < 0) return false;
    for (std::int32_t x = b; x < m; ++x)
      if (cell(x) >= 0) cell(x) -= least;
    bound += least;
    return true;
  };
  for (std::int32_t b = 0; b < m; ++b) {
    check_interrupt();
    for (std::int32_t c = b; c < m; ++c)
      if (!take_least(b, true, c)) return 2;
    for (std::int32_t r = b; r < m; ++r)
      if (!take_least(b, false, r)) return 2;
    // Pivot: the row with a 0 whose positive entries weigh least; in it the
    // 0 whose column weighs least.
    std::int32_t prow = -1;
    std::int64_t best = 0;
    for (std::int32_t r = b; r < m; ++r) {
      bool zero = false;
      std::int64_t sum = 0;
      for (std::int32_t c = b; c < m; ++c) {
        zero = zero || at(r, c) == 0;
        if (at(r, c) > 0) sum += at(r, c);
      }
      if (zero && (prow < 0 || sum < best)) {
        prow = r;
        best = sum;
      }
    }
    std::int32_t pcol = -1;
    for (std::int32_t c = b; c < m; ++c) {
      if (at(prow, c) != 0) continue;
      std::int64_t sum = 0;
      for (std::int32_t r = b; r < m; ++r)
        if (at(r, c) > 0) sum += at(r, c);
      if (pcol < 0 || sum < best) {
        pcol = c;
        best = sum;
      }
    }
    for (std::int32_t c = 0; c < m; ++c) std::swap(at(prow, c), at(b, c));
    for (std::int32_t r = 0; r < m; ++r) std::swap(at(r, pcol), at(r, b));
    for (std::int32_t j = b + 1; j < m; ++j) {
      if (at(b, j) < 0) continue;
      for (std::int32_t i = b + 1; i < m; ++i) at(i, j) = std::max(at(i, j), at(i, b) + at(b, j));
    }
  }
  return bound;
}

std::int64_t max_assignment(const std::vector<std::int64_t>& D, std::int32_t m) {
  // Kuhn-Munkres with potentials (O(m^3)) on the costs -D, 1-based.
  constexpr std::int64_t none = std::int64_t{1} << 50;
  const auto n = static_cast<std::size_t>(m);
  auto cost = [&](std::size_t i, std::size_t j) {
    const std::int64_t d = D[(i - 1) * n + (j - 1)];
    return d <= lagrange_zero_entry ? none : -d;
  };
  std::vector<std::int64_t> u(n + 1, 0), v(n + 1, 0), low(n + 1);
  std::vector<std::size_t> match(n + 1, 0), way(n + 1, 0);
  std::vector<char> used(n + 1);
  for (std::size_t i = 1; i <= n; ++i) {
    check_interrupt();
    match[0] = i;
    std::size_t j0 = 0;
    std::fill(low.begin(), low.end(), std::numeric_limits<std::int64_t>::max());
    std::fill(used.begin(), used.end(), 0);
    do {
      used[j0] = 1;
      const std::size_t i0 = match[j0];
      std::int64_t delta = std::numeric_limits<std::int64_t>::max();
      std::size_t j1 = 0;
      for (std::size_t j = 1; j <= n; ++j) {
        if (used[j]) continue;
        const std::int64_t cur = cost(i0, j) - u[i0] - v[j];
        if (cur < low[j]) {
          low[j] = cur;
          way[j] = j0;
        }
        if (low[j] < delta) {
          delta = low[j];
          j1 = j;
        }
      }
      for (std::size_t j = 0; j <= n; ++j) {
        if (used[j]) {
          u[match[j]] += delta;
          v[j] -= delta;
        } else {
          low[j] -= delta;
        }
      }
      j0 = j1;
    } while (match[j0] != 0);
    do {
      const std::size_t j1 = way[j0];
      match[j0] = match[j1];
      j0 = j1;
    } while (j0 != 0);
  }
  std::int64_t best = 0;
  for (std::size_t j = 1; j <= n; ++j) {
    const std::int64_t c = cost(match[j], j);
    if (c >= none) return 0;  // every permutation meets a zero entry
    best -= c;
  }
  return std::max<std::int64_t>(best, 0);
}

namespace lagrange {

// ---- Flat matrices ----------------------------------------------------------------------

// The negative-exponent refusal with its shared warning count.
void refuse_negative_exponents() {
  if (neg_exponent_warning < 3) {
    std::printf(" Warning.  matrix contains negative exponents.  Fast\n");
    std::printf(" determinant method cannot be used.  It would be better\n");
    std::printf(" to remove the negative exponents and try again.\n");
    if (neg_exponent_warning == 2) std::printf(" *** This is the last warning message.\n");
    std::fflush(stdout);
  }
  ++neg_exponent_warning;
}

NumberMatrix::NumberMatrix(std::int32_t m) : m_(m) {
  const std::int64_t cells = std::int64_t{m} * m;
  if (!mod_mode_matrix_in_use) {
    check_mod_matrix_size(m);
    mod_mode_matrix_in_use = true;
    shared_ = true;
    ar_ = mod_mode_matrix;
  } else {
    if (first_available > work_pool_size) return;
    guard_.emplace(&blank);
    if (!guard_->taken()) return;
    ar_ = guard_->get();
    for (std::int64_t k = 0; k < cells; ++k) {
      ar_->stash[k] = nullptr;
      quoly_set(0, &ar_->stash[k]);
    }
    owned_ = true;
  }
  quoly_set(1, &n_);
}

NumberMatrix::~NumberMatrix() {
  free_quoly(&n_);
  if (shared_) mod_mode_matrix_in_use = false;
  if (owned_) {
    const std::int64_t cells = std::int64_t{m_} * m_;
    for (std::int64_t k = 0; k < cells; ++k) free_quoly(&ar_->stash[k]);
  }
}

std::uint32_t NumberMatrix::mod_det(const std::vector<std::uint32_t>& cells) {
  const std::size_t n = cells.size();
  for (std::size_t k = 0; k < n; ++k)
    ar_->stash[k]->ncoef->lint = static_cast<std::int32_t>(cells[k]);
  n_->ncoef->lint = 1;
  mod_determ(ar_, m_, &n_);
  return static_cast<std::uint32_t>(n_->ncoef->lint);
}

long double NumberMatrix::fl_det(const std::vector<long double>& cells) {
  const std::size_t n = cells.size();
  for (std::size_t k = 0; k < n; ++k) ar_->stash[k]->ncoef->flote = cells[k];
  n_->ncoef->flote = 1.0L;
  fl_determ(ar_, m_, &n_);
  return n_->ncoef->flote;
}

// ---- The modular recursion -------------------------------------------------------------

struct FlRing {
  long double zero() const { return 0.0L; }
  long double one() const { return 1.0L; }
  bool is_zero(long double a) const { return a == 0.0L; }
  long double add(long double a, long double b) const { return a + b; }
  long double sub(long double a, long double b) const { return a - b; }
  long double mul(long double a, long double b) const { return a * b; }
  long double inv(long double a) const { return 1.0L / a; }
};

namespace {

template <class C>
std::int64_t degree_in(const std::vector<Flat<C>>& a, std::int32_t m, std::int32_t v) {
  std::vector<std::int64_t> D(static_cast<std::size_t>(m) * static_cast<std::size_t>(m));
  for (std::int32_t c = 0; c < m; ++c)
    for (std::int32_t r = 0; r < m; ++r) {
      const auto& e = a[static_cast<std::size_t>(c * m + r)];
      D[static_cast<std::size_t>(r * m + c)] = e.degree_in(v);
    }
  return compute_degree(D.data(), m);
}

// At the top of the recursion: one progress level more and, when verbose,
// the banner of an interpolation of degree deg; closed when the handle ends.
ProgressLevel open_level(bool top, std::int64_t deg) {
  if (top) {
    ++dumpitt_level;
    if (verbose)
      dumpitt("LaGrange interpolation, degree ", static_cast<std::int32_t>(deg), true, true, true);
  }
  return ProgressLevel{top, static_cast<std::int32_t>(deg)};
}

}  // namespace

namespace {

// The last variable modulo a prime: at each point the entries' values form
// a residue matrix whose determinant is the image, one task per point
// (the points drawn by the caller), the progress and the count of points
// then in the order of the points.
template <bool char2>
void number_images(const ModRing<char2>& ring, const Plan& pl,
                   const std::vector<std::uint32_t>& coefs, std::int32_t m,
                   const std::vector<std::uint32_t>& pts, bool top,
                   std::vector<Flat<std::uint32_t>>& images,
                   const std::vector<std::int32_t>& origin) {
  const auto cells = static_cast<std::size_t>(m) * static_cast<std::size_t>(m);
  const auto p = static_cast<std::uint32_t>(modulus);
  std::vector<std::uint32_t> dets(pts.size());
  const double side = m;
  run_images(
      pts.size(), side * side * side / 3 + static_cast<double>(coefs.size()), [&](std::size_t i) {
        check_interrupt();
        std::vector<std::uint32_t> powers(static_cast<std::size_t>(pl.max_power) + 1, 1);
        for (std::size_t k = 1; k < powers.size(); ++k) powers[k] = ring.mul(powers[k - 1], pts[i]);
        std::vector<std::uint32_t> store(cells);
        for (std::size_t e = 0; e < cells; ++e) {
          const std::size_t t0 = pl.term_start[e], t1 = pl.term_start[e + 1];
          store[e] = entry_at_point(ring, coefs.data() + t0, pl.power.data() + t0, t1 - t0, powers);
        }
        dets[i] = prime_residue_determ(store.data(), m, p);  // of the transpose: the same
      });
  for (std::size_t i = 0; i < pts.size(); ++i) {
    if (top && verbose) dumpitt(" ", static_cast<std::int32_t>(i), false, false, true);
    ++lagrange_last.points;
    if (dets[i] != 0)
      images[i].push(origin.data(), static_cast<std::int32_t>(origin.size()), dets[i]);
  }
}

template <bool char2>
det_status mod_det_in(const std::vector<Flat<std::uint32_t>>& a, std::int32_t m, std::int32_t nv,
                      std::int64_t the_degree, NumberMatrix& nm, bool top, Flat<std::uint32_t>& out,
                      const std::vector<std::int64_t>* bounds) {
  const ModRing<char2> ring{{static_cast<std::uint32_t>(modulus)}};
  const std::int32_t v = shallowest(a, nv);
  out.clear();
  if (v < 0) {
    std::vector<std::uint32_t> cells(a.size());
    for (std::size_t k = 0; k < a.size(); ++k) cells[k] = a[k].c.empty() ? 0 : a[k].c[0];
    ++lagrange_last.points;
    const std::uint32_t d = nm.mod_det(cells);
    std::vector<std::int32_t> zero(static_cast<std::size_t>(std::max(nv, 1)), 0);
    if (d != 0) out.push(zero.data(), nv, d);
    return det_status::done;
  }
  std::int64_t deg = top && the_degree >= 0 ? the_degree
                     : bounds != nullptr    ? (*bounds)[static_cast<std::size_t>(v)]
                                            : degree_in(a, m, v);
  if (deg == 0) deg = 1;
  const std::int64_t width = std::int64_t{modulus} / (deg + 1);
  if (width < 2) {
    if (deg >= 35023) {
      if (verbose)
        std::printf(" estimated degree %d is too large for this method.\n", static_cast<int>(deg));
      return det_status::declined;
    }
    if (finf) {
      std::printf(" degree %d is too large for this field.\n", static_cast<int>(deg));
      return det_status::declined;
    }
    if (verbose)
      std::printf(" degree %d is too large for this modulus. will try rational algorithm.\n",
                  static_cast<int>(deg));
    return det_status::too_small;
  }
  const ProgressLevel close = open_level(top, deg);
  const auto n = static_cast<std::size_t>(deg) + 1;
  std::vector<std::uint32_t> pts(n);
  for (std::size_t k = 0; k < n; ++k)
    pts[k] = static_cast<std::uint32_t>(std::int64_t(k) * width +
                                        static_cast<std::uint32_t>(lagrange_random()) % width);
  const Plan pl = make_plan(a, nv, v);
  std::vector<Flat<std::uint32_t>> images(n), evaluated;
  std::vector<std::uint32_t> powers, scratch;
  std::vector<std::uint32_t> cells, coefs;
  const std::vector<std::int32_t> origin(static_cast<std::size_t>(nv), 0);
  if (pl.numbers_after)
    for (const auto& e : a) coefs.insert(coefs.end(), e.c.begin(), e.c.end());
  if (pl.numbers_after && !char2 && mod_is_prime) {
    number_images(ring, pl, coefs, m, pts, top, images, origin);
    interpolate(ring, pts, images, nv, v, out);
    return det_status::done;
  }
  for (std::size_t i = 0; i < n; ++i) {
    check_interrupt();
    if (pl.numbers_after) {
      // The last variable: the entries' values go straight into the
      // residue matrix.
      powers.assign(static_cast<std::size_t>(pl.max_power) + 1, 1);
      for (std::size_t k = 1; k < powers.size(); ++k) powers[k] = ring.mul(powers[k - 1], pts[i]);
      cells.assign(a.size(), 0);
      for (std::size_t e = 0; e < a.size(); ++e) {
        const std::size_t t0 = pl.term_start[e], t1 = pl.term_start[e + 1];
        cells[e] = entry_at_point(ring, coefs.data() + t0, pl.power.data() + t0, t1 - t0, powers);
      }
      if (top && verbose) dumpitt(" ", static_cast<std::int32_t>(i), false, false, true);
      ++lagrange_last.points;
      const std::uint32_t d = nm.mod_det(cells);
      if (d != 0) images[i].push(origin.data(), nv, d);
      continue;
    }
    evaluate(ring, a, pl, nv, pts[i], powers, scratch, evaluated);
    if (top && verbose) dumpitt(" ", static_cast<std::int32_t>(i), false, false, true);
    const det_status s = mod_det_in<char2>(evaluated, m, nv, -1, nm, false, images[i], bounds);
    if (s != det_status::done) return s;
  }
  interpolate(ring, pts, images, nv, v, out);
  return det_status::done;
}

}  // namespace

det_status mod_det(const std::vector<Flat<std::uint32_t>>& a, std::int32_t m, std::int32_t nv,
                   std::int64_t the_degree, NumberMatrix& nm, bool top, Flat<std::uint32_t>& out,
                   const std::vector<std::int64_t>* bounds) {
  return finf ? mod_det_in<true>(a, m, nv, the_degree, nm, top, out, bounds)
              : mod_det_in<false>(a, m, nv, the_degree, nm, top, out, bounds);
}

det_status fl_det(const std::vector<Flat<long double>>& a, std::int32_t m, std::int32_t nv,
                  std::int64_t the_degree, NumberMatrix& nm, bool top, Flat<long double>& out) {
  const FlRing ring;
  const std::int32_t v = shallowest(a, nv);
  out.clear();
  if (v < 0) {
    std::vector<long double> cells(a.size());
    for (std::size_t k = 0; k < a.size(); ++k) cells[k] = a[k].c.empty() ? 0.0L : a[k].c[0];
    ++lagrange_last.points;
    const long double d = nm.fl_det(cells);
    std::vector<std::int32_t> zero(static_cast<std::size_t>(std::max(nv, 1)), 0);
    if (d != 0.0L) out.push(zero.data(), nv, d);
    return det_status::done;
  }
  std::int64_t deg = top && the_degree >= 0 ? the_degree : degree_in(a, m, v);
  if (deg == 0) deg = 1;
  const ProgressLevel close = open_level(top, deg);
  const auto n = static_cast<std::size_t>(deg) + 1;
  const std::int64_t s = 2 + lagrange_random() % 3;
  std::vector<long double> pts(n);
  for (std::size_t k = 0; k < n; ++k) {
    std::int64_t a_k = std::int64_t(k) * s + lagrange_random() % s;
    if (std::int64_t(k) * s < (std::int64_t(n) * s) / 2) a_k = -a_k;
    pts[k] = static_cast<long double>(a_k);
  }
  const Plan pl = make_plan(a, nv, v);
  std::vector<Flat<long double>> images(n), evaluated;
  std::vector<long double> powers, scratch;
  for (std::size_t i = 0; i < n; ++i) {
    check_interrupt();
    evaluate(ring, a, pl, nv, pts[i], powers, scratch, evaluated);
    if (top && verbose) dumpitt(" ", static_cast<std::int32_t>(i), false, false, true);
    const det_status st = fl_det(evaluated, m, nv, -1, nm, false, images[i]);
    if (st != det_status::done) return st;
  }
  interpolate(ring, pts, images, nv, v, out);
  return det_status::done;
}

// Entry and depth checks shared by the drivers; false: decline.
// Entries over the field levels of a quotient ring are left to the
// elimination methods.
bool enter() {
  if (field_depth > 0) return false;
  return lagrangedepth + 1 <= lagrangecut;
}

}  // namespace lagrange

using namespace lagrange;

void lagrange::divide_out(quolyptr q, poly fct) {
  if (fct == nullptr) return;
  mat_invert_EnvRec env;
  env.allpolys = true;
  divide_fct(env, q, fct);
}

namespace {

// What the modular interpolation does with a degree too large for the
// modulus: decline, go to the rational algorithm, or take the determinant
// of the residues as integers by the proven route.
enum class too_small_modulus { decline, rational, proven };

// The modular interpolation.
bool mod_interpolate(workptr ar, std::int32_t m, quolyptr q, bool check_laurent, poly fct,
                     std::int32_t the_degree, too_small_modulus small) {
  // Interpolation needs inverses of the point differences.
  if (!enter() || !mod_is_prime) return false;
  DepthLevel level;
  const std::int32_t nv = number_polys;
  std::vector<Flat<std::uint32_t>> a(static_cast<std::size_t>(m) * static_cast<std::size_t>(m));
  bool negative = false;
  for (std::size_t k = 0; k < a.size(); ++k) {
    auto& e = a[k];
    negative = !read_entry(ar->stash[k], nv, [&](const std::int32_t* x, imptr n) {
      if (n->lint != 0) e.push(x, nv, static_cast<std::uint32_t>(n->lint));
    }) || negative;
  }
  if (negative) {
    if (check_laurent) refuse_negative_exponents();
    return false;
  }
  det_status s;
  Flat<std::uint32_t> out;
  {
    NumberMatrix nm(m);
    if (!nm.ok()) {
      if (verbose && windy)
        dumpitt("must abandon interpolation; ran out of workarrays", 0, true, false, false);
      return false;
    }
    lagrange_last = {};
    s = mod_det(a, m, nv, the_degree, nm, true, out);
  }
  if (s == det_status::declined) return false;
  if (s == det_status::too_small && small == too_small_modulus::proven &&
      m >= small_field_lagrange_side && ext_field_det(a, m, nv, out)) {
    set_residue_answer(q, out, nv);
  } else if (s == det_status::too_small) {
    if (small == too_small_modulus::decline ||
        !use_rat_poly_det(a, m, nv, q, small == too_small_modulus::proven))
      return false;
  } else {
    set_residue_answer(q, out, nv);
  }
  divide_out(q, fct);
  return true;
}

}  // namespace

bool mod_poly_determ(workptr ar, std::int16_t /*polydepth*/, std::int32_t m, quolyptr q,
                     bool check_laurent, poly fct, std::int32_t the_degree) {
  return mod_interpolate(ar, m, q, check_laurent, fct, the_degree, too_small_modulus::rational);
}

bool mod_poly_interpolated(workptr ar, std::int32_t m, quolyptr q) {
  if (verbose || finf) return false;
  return mod_interpolate(ar, m, q, false, nullptr, -1, too_small_modulus::proven);
}

bool fl_poly_determ(workptr ar, std::int16_t polydepth, std::int32_t m, quolyptr q,
                    bool check_laurent, poly fct, std::int32_t the_degree, bool allnumbs) {
  if (field_depth > 0 && polydepth >= field_depth) return false;
  if (fct != nullptr) {
    // A divisor has no meaning for long doubles; when the report returns,
    // the router goes on with another method.
    error(not_in_this_arithmetic_error, &blank);
    return false;
  }
  if (!enter()) return false;
  DepthLevel level;
  const std::int32_t nv = number_polys;
  std::vector<Flat<long double>> a(static_cast<std::size_t>(m) * static_cast<std::size_t>(m));
  bool negative = false;
  for (std::size_t k = 0; k < a.size(); ++k) {
    auto& e = a[k];
    negative = !read_entry(ar->stash[k], nv, [&](const std::int32_t* x, imptr n) {
      if (n->flote != 0.0L) e.push(x, nv, n->flote);
    }) || negative;
  }
  if (negative && !allnumbs) {
    if (check_laurent) refuse_negative_exponents();
    return false;
  }
  NumberMatrix nm(m);
  if (!nm.ok()) return false;
  lagrange_last = {};
  Flat<long double> out;
  if (fl_det(a, m, nv, the_degree, nm, true, out) != det_status::done) return false;
  std::vector<imptr> coefs;
  for (long double c : out.c) {
    imptr x = nullptr;
    newimag(&x);
    x->flote = c;
    x->lint = 0;
    coefs.push_back(x);
  }
  set_answer(q, write_poly(out.e, coefs, nv));
  return true;
}

}  // namespace tavrin
