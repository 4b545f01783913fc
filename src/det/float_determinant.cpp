// The checked floating determinant (see float_determinant.h).
#include "det/float_determinant.h"

#include <cmath>
#include <cstdio>

#include "arrays/sparse_store.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "det/float_check.h"
#include "det/lagrange_impl.h"
#include "det/router.h"
#include "matrix/det_services.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "numbers/primes.h"
#include "numbers/work_arrays.h"
#include "quoly/quoly_float_image.h"
#include "toplevel/state.h"

namespace tavrin {

namespace {

// coefs[k] += the coefficient of x^k of the one-variable polynomial p;
// false when p is not one (a term whose coefficient is not a leaf, or a
// negative exponent).
bool add_terms(poly p, std::vector<long double>& coefs) {
  for (poly t = p; t != nullptr; t = t->next) {
    const std::int32_t e = t->numb ? 0 : t->exp;
    poly leaf = t->numb ? t : t->pcoef;
    if (e < 0 || !leaf->numb || leaf->next != nullptr) return false;
    if (coefs.size() <= static_cast<std::size_t>(e)) coefs.resize(static_cast<std::size_t>(e) + 1, 0);
    coefs[static_cast<std::size_t>(e)] += leaf->ncoef->flote;
  }
  return true;
}

long double horner(const std::vector<long double>& c, long double x) {
  long double s = 0;
  for (std::size_t k = c.size(); k-- > 0;) s = s * x + c[k];
  return s;
}

// A random point of magnitude 0.9 .. 1.1.
long double check_point() {
  return 0.9L + 0.2L * static_cast<long double>(rand_integer3() % 65536) / 65536.0L;
}

}  // namespace

FloatPolyMatrix::FloatPolyMatrix(workptr ar, sparseptr* spar, std::int32_t m)
    : m_(m), e_(static_cast<std::size_t>(m) * static_cast<std::size_t>(m)) {
  const auto read = [&](quoly q, std::vector<long double>& coefs) {
    if (q == nullptr) return;
    if (q->numb) {
      coefs.assign(1, q->ncoef->flote);
      return;
    }
    polynomial_ = true;
    readable_ = readable_ && q->denom == nullptr && add_terms(q->numer, coefs);
  };
  if (spar != nullptr && *spar != nullptr) {
    for (std::int32_t r = 1; r <= m; ++r)
      for (colm_ptr e = *sparse_row(*spar, r); e != nullptr; e = e->next)
        read(e->val, e_[static_cast<std::size_t>(r - 1) * m + static_cast<std::size_t>(e->coord - 1)]);
    return;
  }
  for (std::int32_t c = 0; c < m; ++c)
    for (std::int32_t r = 0; r < m; ++r)
      read(ar->stash[std::int64_t{c} * m + r], e_[static_cast<std::size_t>(r) * m + c]);
}

long double FloatPolyMatrix::det_at(long double x) const {
  std::vector<long double> a(e_.size());
  for (std::size_t k = 0; k < e_.size(); ++k) a[k] = horner(e_[k], x);
  return fl_pivoted_det(a, m_);
}

bool FloatPolyMatrix::agrees(quoly d) const {
  // A quotient left over is a GCD the floating arithmetic did not find.
  std::vector<long double> top;
  if (d->numb)
    top.assign(1, d->ncoef->flote);
  else if (d->denom != nullptr || !add_terms(d->numer, top))
    return false;
  for (const long double sign : {1.0L, -1.0L}) {
    const long double x = sign * check_point();
    const long double want = det_at(x);
    const long double got = horner(top, x);
    if (!(std::fabs(got - want) <= fl_check_tolerance * std::fabs(want))) return false;
  }
  return true;
}

void FloatPolyMatrix::exact_determinant(quolyptr n) const {
  BigModeGuard big;
  ScopedValue<bool> exact(integerflag, false), quiet(verbose, false);
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
  for (std::int32_t c = 0; c < m_; ++c)
    for (std::int32_t r = 0; r < m_; ++r) {
      const std::vector<long double>& coefs = e_[static_cast<std::size_t>(r) * m_ + c];
      quoly& cell = w->stash[std::int64_t{c} * m_ + r];
      cell = nullptr;
      ++owned.count;
      std::vector<std::int32_t> exps;
      std::vector<imptr> leaves;
      for (std::size_t k = 0; k < coefs.size(); ++k) {
        if (coefs[k] == 0) continue;
        imptr x = nullptr;
        newimag(&x);
        x->flote = coefs[k];
        x->lint = 0;
        exps.push_back(static_cast<std::int32_t>(k));
        leaves.push_back(x);
      }
      if (leaves.empty()) {
        quoly_set(0, &cell);
      } else {
        lagrange::set_answer(&cell, lagrange::write_poly(exps, leaves, 1));
        quoly_from_float_image(&cell);
      }
      cell->next = nullptr;
    }
  detail::OwnedValue det;
  quoly_set(1, det.cell());
  mat_invert(w, w, m_, det.cell(), nullptr, nullptr, -1, -1, -1, 0,
             {.ar_free = true, .oar_free = true, .equal = true});
  quoly_float_image(det.q, n);
}

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
    return;
  }
  bool lost = false;
  {
    ScopedValue<bool> watch(fl_check_watching, true);
    try {
      route();
    } catch (const floating_precision_lost&) {
      lost = true;
    }
  }
  if (!lost && snapshot.agrees(*n)) return;
  if (verbose)
    std::printf("\n%*sFloating determinant %s; taken exactly.\n", 3 * dumpitt_level, "",
                lost ? "lost its precision" : "fails its check at two points");
  snapshot.exact_determinant(n);
}

}  // namespace tavrin
