// The checked floating determinant (see float_determinant.h).
#include "det/float_determinant.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/primes.h"
#include "numbers/work_arrays.h"
#include "poly/poly_measures.h"
#include "quoly/quoly_float_image.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "det/float_check.h"
#include "det/lagrange.h"
#include "det/lagrange_impl.h"
#include "det/router.h"

namespace tavrin {

namespace {

using Terms = FloatPolyMatrix::Terms;

// t := the terms of the floating image q in nv variables; false when q has
// a denominator or a negative exponent.
bool read_terms(quoly q, std::int32_t nv, Terms& t) {
  if (q != nullptr && !q->numb && q->denom != nullptr) return false;
  return lagrange::read_entry(q, nv, [&](const std::int32_t* x, imptr n) {
    if (n->flote == 0) return;
    t.e.insert(t.e.end(), x, x + nv);
    t.c.push_back(n->flote);
  });
}

long double power(long double x, std::int32_t e) {
  long double r = 1;
  for (; e > 0; e >>= 1, x *= x)
    if ((e & 1) != 0) r *= x;
  return r;
}

long double value_at(const Terms& t, const std::vector<long double>& x) {
  const std::size_t nv = x.size();
  long double s = 0;
  for (std::size_t k = 0; k < t.c.size(); ++k) {
    long double v = t.c[k];
    for (std::size_t d = 0; d < nv; ++d) v *= power(x[d], t.e[k * nv + d]);
    s += v;
  }
  return s;
}

// A random point: every variable of magnitude 0.9 .. 1.1, its sign drawn.
std::vector<long double> check_point(std::int32_t nv) {
  std::vector<long double> x(static_cast<std::size_t>(nv));
  for (long double& v : x) {
    v = 0.9L + 0.2L * static_cast<long double>(rand_integer3() % 65536) / 65536.0L;
    if (rand_integer3() % 2 == 1) v = -v;
  }
  return x;
}

// A sparse matrix of the router's, freed on every exit unless a method
// used it up (and set it nil).
struct OwnedSparse {
  sparseptr s = nullptr;
  std::int32_t rows;
  explicit OwnedSparse(std::int32_t m) : rows(m) {}
  ~OwnedSparse() { free_sparse(&s, rows, true); }
  OwnedSparse(const OwnedSparse&) = delete;
  OwnedSparse& operator=(const OwnedSparse&) = delete;
};

}  // namespace

FloatPolyMatrix::FloatPolyMatrix(workptr ar, sparseptr* spar, std::int32_t m)
    : m_(m),
      nv_(std::max<std::int32_t>(number_polys, 1)),
      sparse_(spar != nullptr && *spar != nullptr) {
  const auto each = [&](auto&& visit) {  // the entries row by row, under the key r*m + c
    if (sparse_) {
      for (std::int32_t r = 1; r <= m; ++r)
        for (colm_ptr e = *sparse_row(*spar, r); e != nullptr; e = e->next)
          visit(e->val, std::int64_t{r - 1} * m + (e->coord - 1));
      return;
    }
    for (std::int32_t r = 0; r < m; ++r)
      for (std::int32_t c = 0; c < m; ++c)
        visit(ar->stash[std::int64_t{c} * m + r], std::int64_t{r} * m + c);
  };
  each([&](quoly q, std::int64_t) { polynomial_ = polynomial_ || (q != nullptr && !q->numb); });
  each([&](quoly q, std::int64_t at) {
    if (q == nullptr) return;
    if (!polynomial_) {
      if (q->ncoef->flote != 0) numbers_.push_back({at, q->ncoef->flote});
      return;
    }
    Terms t;
    readable_ = readable_ && read_terms(q, nv_, t);
    if (!t.c.empty()) e_.push_back({at, std::move(t)});
  });
}

template <class Visit>
void FloatPolyMatrix::for_each_entry(Visit&& visit) const {
  if (polynomial_) {
    for (const Entry& x : e_) visit(x.at, x.t);
    return;
  }
  Terms t;
  t.e.assign(static_cast<std::size_t>(nv_), 0);
  t.c.assign(1, 0);
  for (const NumberEntry& x : numbers_) {
    t.c[0] = x.value;
    visit(x.at, t);
  }
}

std::int16_t FloatPolyMatrix::depth() const {
  std::int32_t best = constant_depth;
  for (const Entry& x : e_)
    for (std::size_t k = 0; k < x.t.e.size(); ++k)
      if (x.t.e[k] != 0)
        best = std::min(best, static_cast<std::int32_t>(k % static_cast<std::size_t>(nv_)) + 1);
  return static_cast<std::int16_t>(best);
}

long double FloatPolyMatrix::det_at(const std::vector<long double>& x) const {
  std::vector<long double> a(static_cast<std::size_t>(m_) * static_cast<std::size_t>(m_), 0);
  for (const Entry& y : e_) a[static_cast<std::size_t>(y.at)] = value_at(y.t, x);
  for (const NumberEntry& y : numbers_) a[static_cast<std::size_t>(y.at)] = y.value;
  return fl_pivoted_det(a, m_);
}

bool FloatPolyMatrix::agrees(quoly d) const {
  // A quotient left over is a GCD the floating arithmetic did not find.
  Terms top;
  if (!read_terms(d, nv_, top)) return false;
  for (int round = 0; round < 2; ++round) {
    const std::vector<long double> x = check_point(nv_);
    const long double want = det_at(x);
    const long double got = value_at(top, x);
    if (!(std::fabs(got - want) <= fl_check_tolerance * std::fabs(want))) return false;
  }
  return true;
}

bool FloatPolyMatrix::number_det_agrees(quoly d, const char** why) const {
  *why = "is not a number";
  if (d == nullptr || !d->numb) return false;
  const long double got = d->ncoef->flote;
  // log2 of Hadamard's bound, the product of the rows' lengths (each row
  // scaled by its largest entry, so nothing overflows).
  long double log_bound = 0;
  std::int64_t rows_present = 0;
  for (std::size_t k = 0, row_end = 0; k < numbers_.size(); k = row_end) {
    const std::int64_t r = numbers_[k].at / m_;
    long double largest = 0, sum = 0;
    for (row_end = k; row_end < numbers_.size() && numbers_[row_end].at / m_ == r; ++row_end)
      largest = std::max(largest, std::fabs(numbers_[row_end].value));
    for (std::size_t q = k; q < row_end; ++q) {
      const long double s = numbers_[q].value / largest;
      sum += s * s;
    }
    log_bound += std::log2(largest) + 0.5L * std::log2(sum);
    ++rows_present;
  }
  if (rows_present < m_) {  // a zero row: the determinant is 0
    *why = "is not zero for a zero row";
    return got == 0;
  }
  *why = "exceeds Hadamard's bound";
  if (!std::isfinite(got)) return false;
  if (got != 0 && std::log2(std::fabs(got)) > log_bound + 1e-9L * (1 + std::fabs(log_bound)))
    return false;
  if (m_ > fl_second_opinion_side) return true;
  *why = "disagrees with a second elimination";
  const long double second = det_at({});
  if (!std::isfinite(second)) return true;  // out of the long doubles' range: no judge
  return std::fabs(got - second) <=
         fl_check_tolerance * std::max(std::fabs(got), std::fabs(second));
}

void FloatPolyMatrix::exact_entry(const Terms& t, quolyptr cell) const {
  *cell = nullptr;
  if (t.c.empty()) {
    quoly_set(0, cell);
  } else {
    std::vector<std::int32_t> exps = t.e;
    std::vector<imptr> leaves;
    for (const long double c : t.c) {
      imptr x = nullptr;
      newimag(&x);
      x->flote = c;
      x->lint = 0;
      leaves.push_back(x);
    }
    lagrange::set_answer(cell, lagrange::write_poly(exps, leaves, nv_));
    quoly_from_float_image(cell);
  }
  (*cell)->next = nullptr;
}

void FloatPolyMatrix::exact_determinant(quolyptr n) const {
  BigModeGuard big;
  ScopedValue<bool> exact(integerflag, false), quiet(verbose, false);
  nodes::OwnedValue det;
  quoly_set(1, det.cell());
  if (sparse_) {
    OwnedSparse a(m_);
    sparse_init(&a.s, m_);
    std::int32_t row = 0;
    colm_ptrptr link = nullptr;
    for_each_entry([&](std::int64_t at, const Terms& t) {
      const auto r = static_cast<std::int32_t>(at / m_);
      if (link == nullptr || r != row) {
        row = r;
        link = sparse_row(a.s, r + 1);
      }
      colm_ptr e = nullptr;
      newcolm(&e);
      e->coord = static_cast<std::int32_t>(at % m_) + 1;
      e->next = nullptr;
      e->val = nullptr;
      *link = e;
      link = &e->next;
      exact_entry(t, &e->val);
    });
    mat_invert(nullptr, nullptr, m_, det.cell(), &a.s, nullptr, -1, -1, -1, 0,
               {.ar_free = true, .oar_free = true, .equal = true});
  } else {
    const tokentipe name = unstored_token("Det");
    WorkArrayGuard work(&name);
    if (!work.taken()) return;  // error 88 reported
    workptr w = work.get();
    struct Cells {  // the exact entries, freed on every exit
      workptr w;
      std::int64_t count;
      ~Cells() {
        for (std::int64_t k = 0; k < count; ++k) free_quoly(&w->stash[k]);
      }
    } owned{w, 0};
    // The entries are kept row by row; the cells go column by column.
    const std::int64_t cells = std::int64_t{m_} * m_;
    for (std::int64_t k = 0; k < cells; ++k) w->stash[k] = nullptr;
    owned.count = cells;
    for_each_entry([&](std::int64_t at, const Terms& t) {
      exact_entry(t, &w->stash[(at % m_) * m_ + at / m_]);
    });
    for (std::int64_t k = 0; k < cells; ++k)
      if (w->stash[k] == nullptr) quoly_set(0, &w->stash[k]);
    mat_invert(w, w, m_, det.cell(), nullptr, nullptr, -1, -1, -1, 0,
               {.ar_free = true, .oar_free = true, .equal = true});
  }
  quoly_float_image(det.q, n);
}

namespace {

// *n := the floating interpolated determinant of the m x m matrix (the
// sparse *spar when not nil, else ar; kept) whose top variable is at depth;
// false when the method declined.
bool fl_interpolated(workptr ar, sparseptr* spar, std::int32_t m, quolyptr n, std::int16_t depth,
                     std::int32_t the_degree) {
  if (spar == nullptr || *spar == nullptr)
    return fl_poly_determ(ar, depth, m, n, laurent, nullptr, the_degree, false);
  const std::int64_t cells = std::int64_t{m} * m;
  if (cells > workarray_cells) return false;
  const tokentipe name = unstored_token("Det");
  WorkArrayGuard work(&name);
  if (!work.taken()) return false;
  struct Borrowed {  // the sparse entries lent to the work array, taken back on every exit
    workptr w;
    std::int64_t cells;
    ~Borrowed() { std::fill(w->stash, w->stash + cells, nullptr); }
  } lent{work.get(), cells};
  std::fill(lent.w->stash, lent.w->stash + cells, nullptr);
  for (std::int32_t r = 1; r <= m; ++r)
    for (colm_ptr e = *sparse_row(*spar, r); e != nullptr; e = e->next)
      lent.w->stash[std::int64_t{e->coord - 1} * m + (r - 1)] = e->val;
  return fl_poly_determ(lent.w, depth, m, n, laurent, nullptr, the_degree, false);
}

}  // namespace

void fl_checked_determinant(workptr ar, sparseptr* spar, std::int32_t m, quolyptr n,
                            std::int32_t the_degree, std::int32_t the_degree2,
                            std::int32_t the_power) {
  const auto route = [&] {
    mat_invert(ar, ar, m, n, spar, nullptr, the_degree, the_degree2, the_power, 0,
               {.ar_free = true, .oar_free = true, .equal = true});
  };
  const FloatPolyMatrix snapshot(ar, spar, m);
  if (!snapshot.polynomial()) {
    route();
    const char* why = nullptr;
    if (!snapshot.readable() || snapshot.number_det_agrees(*n, &why)) return;
    if (verbose)
      std::printf("\n%*sFloating determinant %s; taken exactly.\n", 3 * dumpitt_level, "", why);
    snapshot.exact_determinant(n);
    return;
  }
  // With two variables or more the elimination's floating quotients and
  // GCDs have no sound multivariate form (leading terms that do not cancel
  // exactly): those matrices go by values, the interpolation alone.
  const bool by_values = number_polys >= 2;
  const char* failure = nullptr;
  {
    ScopedValue<bool> watch(fl_check_watching, true);
    try {
      if (!by_values)
        route();
      else if (!fl_interpolated(ar, spar, m, n, snapshot.depth(), the_degree))
        failure = "has no floating route";
    } catch (const floating_precision_lost&) {
      failure = "lost its precision";
    }
  }
  if (failure == nullptr && snapshot.agrees(*n)) return;
  if (verbose)
    std::printf("\n%*sFloating determinant %s; taken exactly.\n", 3 * dumpitt_level, "",
                failure != nullptr ? failure : "fails its check at two points");
  snapshot.exact_determinant(n);
}

}  // namespace tavrin
