// The inverse of a matrix of integer polynomials by evaluation and
// interpolation (see det/lagrange.h): the determinant and the adjugate are
// taken at the points of a grid modulo the largest word primes (one
// elimination with the identity beside it per point), interpolated one
// variable after another, joined by Chinese remaindering until the product
// of the primes passes Hadamard's bound, and every entry adj / det brought
// to normal form.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/globals.h"
#include "core/interrupts.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "numbers/garner.h"
#include "numbers/node_handles.h"
#include "poly/poly_repr.h"
#include "poly/poly_upcalls.h"
#include "toplevel/start_tables.h"
#include "matrix/image_tasks.h"
#include "det/lagrange.h"
#include "det/lagrange_impl.h"
#include "det/lagrange_ring.h"

namespace tavrin {

namespace lagrange {

namespace {

// Arithmetic modulo p that reads no global (the modulus in force is not p).
struct Residues {
  ModField<false> f;
  std::uint32_t inv(std::uint32_t a) const { return f.inv(a); }
};

// The ring interface of lagrange_basis over Residues.
struct BasisRing {
  const Residues& r;
  std::uint32_t zero() const { return 0; }
  std::uint32_t one() const { return 1; }
  bool is_zero(std::uint32_t a) const { return a == 0; }
  std::uint32_t add(std::uint32_t a, std::uint32_t b) const { return r.f.add(a, b); }
  std::uint32_t sub(std::uint32_t a, std::uint32_t b) const { return r.f.sub(a, b); }
  std::uint32_t mul(std::uint32_t a, std::uint32_t b) const { return r.f.mul(a, b); }
  std::uint32_t inv(std::uint32_t a) const { return r.inv(a); }
};

// a (m x m, row by row) := its inverse times its determinant, the adjugate;
// false when the determinant is 0. *det := the determinant. Gauss-Jordan
// with the identity beside: work holds 2 m^2 residues.
bool adjugate(const Residues& r, std::int32_t m, std::vector<std::uint32_t>& a,
              std::vector<std::uint32_t>& work, std::uint32_t* det) {
  const auto n = static_cast<std::size_t>(m), w = 2 * n;
  work.assign(n * w, 0);
  for (std::size_t i = 0; i < n; ++i) {
    std::copy(a.begin() + static_cast<std::ptrdiff_t>(i * n),
              a.begin() + static_cast<std::ptrdiff_t>(i * n + n),
              work.begin() + static_cast<std::ptrdiff_t>(i * w));
    work[i * w + n + i] = 1;
  }
  std::uint32_t d = 1;
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t p = i;
    while (p < n && work[p * w + i] == 0) ++p;
    if (p == n) return false;
    if (p != i) {
      std::swap_ranges(work.begin() + static_cast<std::ptrdiff_t>(i * w),
                       work.begin() + static_cast<std::ptrdiff_t>(i * w + w),
                       work.begin() + static_cast<std::ptrdiff_t>(p * w));
      d = r.f.sub(0, d);
    }
    const std::uint32_t piv = work[i * w + i];
    d = r.f.mul(d, piv);
    const std::uint32_t inv = r.inv(piv);
    for (std::size_t c = i; c < w; ++c) work[i * w + c] = r.f.mul(work[i * w + c], inv);
    for (std::size_t k = 0; k < n; ++k) {
      if (k == i) continue;
      const std::uint32_t factor = work[k * w + i];
      if (factor == 0) continue;
      const std::uint64_t g = r.f.p - factor;
      for (std::size_t c = i; c < w; ++c)
        work[k * w + c] = r.f.reduce(work[k * w + c] + g * work[i * w + c]);
    }
  }
  for (std::size_t i = 0; i < n; ++i)
    for (std::size_t c = 0; c < n; ++c) a[i * n + c] = r.f.mul(work[i * w + n + c], d);
  *det = d;
  return true;
}

// The values at the grid points of every component (vals[comp * grid + g])
// become the coefficients of the component's polynomial at the same
// places, one variable after another: along variable k (stride[k] apart,
// count[k] points) the basis turns values into coefficients.
void interpolate_grid(const Residues& r, std::vector<std::uint32_t>& vals, std::size_t comps,
                      std::size_t grid, const std::vector<std::size_t>& count,
                      const std::vector<std::size_t>& stride,
                      const std::vector<std::vector<std::uint32_t>>& basis) {
  for (std::size_t k = 0; k < count.size(); ++k) {
    const std::size_t n = count[k], s = stride[k];
    if (n < 2) continue;
    const std::vector<std::uint32_t>& b = basis[k];
    const int limbs = dot_limbs(n, r.f.kit);
    // A task per component.
    run_images(comps, static_cast<double>(grid) * static_cast<double>(n), [&](std::size_t comp) {
      check_interrupt();
      std::vector<std::uint32_t> y(n), c(n);
      std::uint32_t* v = vals.data() + comp * grid;
      // Fibers: every start whose index along k is 0.
      for (std::size_t g = 0; g < grid; ++g) {
        if ((g / s) % n != 0) continue;
        bool zero = true;
        for (std::size_t i = 0; i < n; ++i) {
          y[i] = v[g + i * s];
          zero = zero && y[i] == 0;
        }
        if (zero) continue;
        for (std::size_t d = 0; d < n; ++d)
          c[d] = word_dot(r.f.kit, y.data(), b.data() + d * n, n, limbs);
        for (std::size_t d = 0; d < n; ++d) v[g + d * s] = c[d];
      }
    });
  }
}

// The grid of the evaluation points: the variables that occur and, for each,
// the number of points, the top power of the variable in any entry and the
// distance of neighbouring points in the grid's order (the last variable
// varies fastest).
struct PointGrid {
  std::vector<std::int32_t> used;
  std::vector<std::size_t> count;
  std::vector<std::int32_t> top_power;
  std::vector<std::size_t> stride;
  std::size_t size = 1;
};

// The variables that occur in the n x n entries z and, for each, a bound on
// the degrees of the determinant and of every minor: the largest degree
// along a permutation of the matrix with a row and a column of constants
// added.
PointGrid grid_of(const std::vector<Flat<std::size_t>>& z, std::size_t n, std::int32_t nv) {
  PointGrid grid;
  for (std::int32_t v = 0; v < nv; ++v) {
    const auto m1 = n + 1;
    std::vector<std::int64_t> D(m1 * m1, 0);
    std::int32_t most = 0;
    for (std::size_t r = 0; r < n; ++r)
      for (std::size_t c = 0; c < n; ++c) {
        const Flat<std::size_t>& e = z[r * n + c];
        const std::int64_t d = e.degree_in(v);
        D[r * m1 + c] = d;
        most = std::max<std::int32_t>(most, static_cast<std::int32_t>(d));
      }
    if (most == 0) continue;
    grid.used.push_back(v);
    grid.count.push_back(
        static_cast<std::size_t>(max_assignment(D, static_cast<std::int32_t>(n) + 1)) + 1);
    grid.top_power.push_back(most);
  }
  return grid;
}

// The strides and size of the grid; false when comps values at every point
// would pass inverse_grid_words.
bool fit_grid(PointGrid& grid, std::size_t comps) {
  grid.stride.resize(grid.used.size());
  for (std::size_t k = grid.used.size(); k-- > 0;) {
    grid.stride[k] = grid.size;
    grid.size *= grid.count[k];
    if (grid.size * comps > inverse_grid_words) return false;
  }
  return true;
}

// The points of each variable modulo res's prime, spread evenly: powers[k]
// holds the powers 0 .. top_power[k] of each point of variable k, basis[k]
// their Lagrange basis.
void grid_points(const Residues& res, const PointGrid& grid,
                 std::vector<std::vector<std::uint32_t>>& powers,
                 std::vector<std::vector<std::uint32_t>>& basis) {
  const std::uint32_t p = res.f.p;
  for (std::size_t k = 0; k < grid.used.size(); ++k) {
    const std::uint32_t width = p / static_cast<std::uint32_t>(grid.count[k]);
    std::vector<std::uint32_t> pts(grid.count[k]);
    for (std::size_t i = 0; i < grid.count[k]; ++i)
      pts[i] = static_cast<std::uint32_t>(i) * width + width / 2;
    const auto e1 = static_cast<std::size_t>(grid.top_power[k]) + 1;
    powers[k].assign(grid.count[k] * e1, 1);
    for (std::size_t i = 0; i < grid.count[k]; ++i)
      for (std::size_t e = 1; e < e1; ++e)
        powers[k][i * e1 + e] = res.f.mul(powers[k][i * e1 + e - 1], pts[i]);
    basis[k] = lagrange_basis(BasisRing{res}, pts);
  }
}

// vals (comps x grid.size, component by component) := the adjugate of the
// m x m matrix z, entry by entry, then its determinant, at every point of
// the grid modulo res's prime (coefs: the coefficients modulo the prime);
// false when the determinant vanishes at some point. The points go in runs
// of 64, a task each.
bool grid_values(const Residues& res, const PointGrid& grid,
                 const std::vector<Flat<std::size_t>>& z, std::int32_t m,
                 const std::vector<std::vector<std::uint32_t>>& powers,
                 const std::vector<std::uint32_t>& coefs, std::vector<std::uint32_t>& vals) {
  const auto n = static_cast<std::size_t>(m);
  constexpr std::size_t run = 64;
  const std::size_t runs = (grid.size + run - 1) / run;
  std::vector<char> vanished(runs, 0);
  const double side = m;
  run_images(runs, side * side * side * run, [&](std::size_t task) {
    check_interrupt();
    std::vector<std::uint32_t> a(n * n), work;
    std::vector<std::size_t> index(grid.used.size());
    const std::size_t g0 = task * run, g1 = std::min(grid.size, g0 + run);
    for (std::size_t k = 0; k < index.size(); ++k) index[k] = (g0 / grid.stride[k]) % grid.count[k];
    for (std::size_t g = g0; g < g1; ++g) {
      for (std::size_t e = 0; e < n * n; ++e) {
        const Flat<std::size_t>& f = z[e];
        std::uint32_t sum = 0;
        for (std::size_t t = 0; t < f.c.size(); ++t) {
          std::uint32_t term = coefs[f.c[t]];
          for (std::size_t k = 0; k < grid.used.size(); ++k) {
            const auto e1 = static_cast<std::size_t>(grid.top_power[k]) + 1;
            term = res.f.mul(
                term, powers[k][index[k] * e1 + static_cast<std::size_t>(f.exp(t)[grid.used[k]])]);
          }
          sum = res.f.add(sum, term);
        }
        a[e] = sum;
      }
      std::uint32_t det = 0;
      if (!adjugate(res, m, a, work, &det)) {
        vanished[task] = 1;
        return;
      }
      for (std::size_t e = 0; e < n * n; ++e) vals[e * grid.size + g] = a[e];
      vals[n * n * grid.size + g] = det;
      for (std::size_t k = grid.used.size(); k-- > 0;) {
        if (++index[k] < grid.count[k]) break;
        index[k] = 0;
      }
    }
  });
  // A point where the determinant vanishes: the next prime.
  return std::find(vanished.begin(), vanished.end(), 1) == vanished.end();
}

// The coefficients of each component as integers from their images modulo
// the moduli: Garner's mixed radix digits, then the value in the symmetric
// range; exps[comp] and values[comp] receive the exponent vectors (nv each)
// and the numbers of the terms that are not 0.
void combine_images(const PointGrid& grid, const std::vector<std::uint32_t>& moduli,
                    const std::vector<std::vector<std::uint32_t>>& images, std::size_t comps,
                    std::int32_t nv, std::vector<std::vector<std::int32_t>>& exps,
                    std::vector<std::vector<imptr>>& values) {
  const std::size_t k = moduli.size();
  const Garner garner(moduli);
  std::vector<std::uint32_t> digit(k), residue(k);
  std::vector<std::int32_t> e(static_cast<std::size_t>(std::max(nv, 1)), 0);
  for (std::size_t comp = 0; comp < comps; ++comp) {
    check_interrupt();
    for (std::size_t g = 0; g < grid.size; ++g) {
      bool zero = true;
      for (std::size_t i = 0; i < k && zero; ++i) zero = images[i][comp * grid.size + g] == 0;
      if (zero) continue;
      for (std::size_t i = 0; i < k; ++i) residue[i] = images[i][comp * grid.size + g];
      garner.digits(residue.data(), digit.data());
      ZInt x = garner.symmetric(digit.data());
      if (x.is_zero()) continue;
      std::fill(e.begin(), e.end(), 0);
      for (std::size_t v = 0; v < grid.used.size(); ++v)
        e[static_cast<std::size_t>(grid.used[v])] =
            static_cast<std::int32_t>((g / grid.stride[v]) % grid.count[v]);
      exps[comp].insert(exps[comp].end(), e.begin(), e.begin() + nv);
      values[comp].push_back(x.to_number());
    }
  }
}

}  // namespace

}  // namespace lagrange

using namespace lagrange;

bool rat_poly_inverse(workptr ar, workptr outar, std::int32_t m, const InvertFlags& how) {
  if (verbose || lintmode || field_depth > 0 || m < 2 || !ProvenPrimes::ready()) return false;
  const std::int32_t nv = number_polys;
  const auto n = static_cast<std::size_t>(m);
  ZRows rows(m, nv);
  std::vector<Flat<std::size_t>> z(n * n);  // row by row
  for (std::int32_t r = 0; r < m; ++r) {
    const bool ok = rows.read_stash_row(ar, m, r, [&](std::int32_t c, Flat<std::size_t>&& e) {
      z[static_cast<std::size_t>(r) * n + static_cast<std::size_t>(c)] = std::move(e);
    });
    if (!ok || rows.scaled()) return false;
  }
  PointGrid grid = grid_of(z, n, nv);
  const std::size_t comps = n * n + 1;  // the adjugate row by row, then the determinant
  if (!fit_grid(grid, comps)) return false;
  const double bits = rows.bound_bits() + 1;  // the symmetric range: twice the bound
  ProvenPrimes primes;
  std::vector<std::uint32_t> moduli;
  std::vector<std::vector<std::uint32_t>> images;  // per prime: comps x grid coefficients
  double prod_bits = 0;
  int unlucky_primes = 0;
  std::vector<std::uint32_t> coefs(rows.coefs.size());
  for (bool more = true; prod_bits <= bits; more = primes.advance()) {
    if (!more) return false;
    check_interrupt();
    const Residues res{ModField<false>{primes.current()}};
    const std::uint32_t p = res.f.p;
    std::vector<std::vector<std::uint32_t>> powers(grid.used.size()), basis(grid.used.size());
    grid_points(res, grid, powers, basis);
    for (std::size_t t = 0; t < coefs.size(); ++t) coefs[t] = rows.coefs[t].mod_word(p);
    std::vector<std::uint32_t> vals(comps * grid.size);
    // A singular matrix vanishes everywhere: after three such primes the
    // elimination reports it.
    if (!grid_values(res, grid, z, m, powers, coefs, vals)) {
      if (++unlucky_primes == 3) return false;
      continue;
    }
    interpolate_grid(res, vals, comps, grid.size, grid.count, grid.stride, basis);
    moduli.push_back(p);
    images.push_back(std::move(vals));
    prod_bits += std::log2(static_cast<double>(p));
  }
  std::vector<std::vector<std::int32_t>> exps(comps);
  std::vector<std::vector<imptr>> values(comps);
  struct Numbers {  // the numbers not yet in a polynomial, freed on every exit
    std::vector<std::vector<imptr>>& v;
    ~Numbers() {
      for (auto& list : v)
        for (imptr& x : list) free_imag(&x);
    }
  } owned{values};
  combine_images(grid, moduli, images, comps, nv, exps, values);
  // The entries adj / det in normal form; then into outar as Gauss-Jordan
  // leaves it.
  nodes::OwnedPoly det;
  det.p = write_poly(exps[n * n], values[n * n], nv);
  std::vector<quoly> inverse(n * n, nullptr);
  struct Entries {  // freed on every exit unless handed over
    std::vector<quoly>& q;
    ~Entries() {
      for (quoly& x : q) free_quoly(&x);
    }
  } held{inverse};
  for (std::size_t r = 0; r < n; ++r)
    for (std::size_t c = 0; c < n; ++c) {
      check_interrupt();
      const std::size_t comp = r * n + c;
      quoly& cell = inverse[r + c * n];
      if (values[comp].empty()) {
        quoly_set(0, &cell);
        continue;
      }
      poly numer = write_poly(exps[comp], values[comp], nv);
      poly denom = nullptr;
      poly_assign(det.get(), &denom);
      cell = nodes::new_ratfun_value(numer, denom);
      check_quoly(&cell, false);
    }
  for (std::size_t t = 0; t < n * n; ++t) {
    inverse[t]->next = nullptr;
    if (how.oar_free) free_quoly(&outar->stash[t]);
    outar->stash[t] = inverse[t];
    inverse[t] = nullptr;
  }
  return true;
}

}  // namespace tavrin
