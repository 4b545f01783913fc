// The Lagrange-interpolation determinant of a sparse polynomial matrix.
//
// Only the stored entries are read: each one into a flat term list with its
// row and column, and the evaluation-interpolation recursion runs on those
// lists, so every evaluation costs in proportion to the stored entries and
// entries that vanish at a point are dropped at once. Once the entries are
// numbers, the residue matrix goes to a sparse elimination (least fill
// first), or to the dense kernel when it is more than a quarter full.
// Nothing of the caller's matrix is changed, not even for a moment, so every
// exit, errors included, leaves the user's rows as they were.
//
// Over the integers the images modulo word primes are joined by the
// Chinese remaindering of the dense driver; the primes come from tables
// chosen by the size of the matrix, and the numbered-primes form of Det
// fixes their count. A power hint takes the root of a planted odd power at
// each point (an even one is taken of the whole determinant by the router)
// or reads a determinant in powers of the variables; in characteristic 2 with
// every relation X^2 + X the points are 0 and 1; under the stash setting
// the points of the top level go to the output file as statements.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "toplevel/display.h"
#include "toplevel/output_file.h"
#include "toplevel/state.h"
#include "arrays/sparse_store.h"
#include "matrix/image_tasks.h"
#include "matrix/residue_elimination.h"
#include "matrix/zmatrix.h"
#include "det/lagrange.h"
#include "det/lagrange_impl.h"
#include "det/lagrange_ring.h"
#include "det/method_services.h"

namespace tavrin {

namespace lagrange {

namespace {

// The stored entries of an m x m matrix, 0-based coordinates, sorted by
// row and then column, none of them empty.
template <class C>
struct SparseFlat {
  std::int32_t m = 0;
  std::vector<std::int32_t> row, col;
  std::vector<Flat<C>> e;
};

}  // namespace

}  // namespace lagrange

// The min-plus bound on the degree of the determinant, where rows[r] holds
// (column, degree) of the stored entries of row r, sorted by column: rows are
// reduced before columns at each stage, a row or column without entries
// ends the estimate with 2, and the pivot's elimination touches only the
// rows whose first remaining entry lies in the pivot column.
std::int64_t compute_degree_1(std::vector<degree_row> rows, std::int32_t m) {
  constexpr std::int64_t none = std::int64_t{1} << 28;
  bool any = false;
  for (const degree_row& r : rows)
    for (const auto& [c, d] : r) any = any || d > 0;
  if (!any) return 0;
  std::vector<std::int64_t> cdeg(static_cast<std::size_t>(m));
  std::int64_t bound = 0;
  for (std::int32_t i = 0; i < m; ++i) {
    check_interrupt();
    for (std::int32_t r = i; r < m; ++r) {
      degree_row& row = rows[static_cast<std::size_t>(r)];
      row.erase(row.begin(),
                std::find_if(row.begin(), row.end(), [&](const auto& x) { return x.first >= i; }));
      if (row.empty()) return 2;
      std::int64_t least = none;
      for (const auto& x : row) least = std::min(least, x.second);
      for (auto& x : row) x.second -= least;
      bound += least;
    }
    // Columns.
    std::fill(cdeg.begin() + i, cdeg.end(), none);
    for (std::int32_t r = i; r < m; ++r)
      for (const auto& [c, d] : rows[static_cast<std::size_t>(r)])
        cdeg[static_cast<std::size_t>(c)] = std::min(cdeg[static_cast<std::size_t>(c)], d);
    for (std::int32_t c = i; c < m; ++c) {
      if (cdeg[static_cast<std::size_t>(c)] == none) return 2;
      bound += cdeg[static_cast<std::size_t>(c)];
    }
    for (std::int32_t r = i; r < m; ++r)
      for (auto& x : rows[static_cast<std::size_t>(r)])
        x.second -= cdeg[static_cast<std::size_t>(x.first)];
    // Pivot: among the rows with an entry of degree 0 the one of least
    // degree sum, in it the 0 whose column sum is least.
    std::fill(cdeg.begin() + i, cdeg.end(), 0);
    for (std::int32_t r = i; r < m; ++r)
      for (const auto& [c, d] : rows[static_cast<std::size_t>(r)])
        cdeg[static_cast<std::size_t>(c)] += d;
    std::int32_t prow = -1, pcol = -1;
    std::int64_t best = 0;
    for (std::int32_t r = i; r < m; ++r) {
      std::int64_t sum = 0;
      std::int32_t zc = -1;
      for (const auto& [c, d] : rows[static_cast<std::size_t>(r)]) {
        sum += d;
        if (d == 0 &&
            (zc < 0 || cdeg[static_cast<std::size_t>(c)] < cdeg[static_cast<std::size_t>(zc)]))
          zc = c;
      }
      if (zc >= 0 && (prow < 0 || sum < best)) {
        prow = r;
        pcol = zc;
        best = sum;
      }
    }
    if (prow < 0) tavrin_error("row -1 in find_best, sparse_mod_poly_determ", true);
    std::swap(rows[static_cast<std::size_t>(prow)], rows[static_cast<std::size_t>(i)]);
    if (pcol != i) {
      for (std::int32_t r = i; r < m; ++r) {
        degree_row& row = rows[static_cast<std::size_t>(r)];
        for (auto& x : row)
          if (x.first == i)
            x.first = pcol;
          else if (x.first == pcol)
            x.first = i;
        std::sort(row.begin(), row.end());
      }
    }
    const degree_row& piv = rows[static_cast<std::size_t>(i)];
    for (std::int32_t r = i + 1; r < m; ++r) {
      degree_row& row = rows[static_cast<std::size_t>(r)];
      if (row.front().first != i) continue;
      const std::int64_t e = row.front().second;
      degree_row merged;
      std::size_t a = 0;
      for (const auto& [c, d] : piv) {
        while (a < row.size() && row[a].first < c) merged.push_back(row[a++]);
        if (a < row.size() && row[a].first == c)
          merged.emplace_back(c, std::max(row[a++].second, d + e));
        else
          merged.emplace_back(c, d + e);
      }
      while (a < row.size()) merged.push_back(row[a++]);
      row.swap(merged);
    }
  }
  return bound;
}

namespace lagrange {

namespace {

using Row = degree_row;

// ---- The determinant of a sparse residue matrix ---------------------------------------

// 1 / a modulo the ring's prime (its own, not the modulus in force).
template <bool char2>
std::uint32_t residue_inverse(const ModRing<char2>& ring, std::uint32_t a) {
  return ring.inv(a);
}

// The pivot of least (row length - 1) * (column count - 1) among the stored
// entries of the first live rows listed in active, the first met on a tie
// (a cost of 0 ends the search): *pi its place in active, *pe its place in
// its row. False when one of those rows is empty (the determinant is 0).
template <class Entries, class Count>
bool markowitz_pivot(const std::vector<Entries>& rows, const std::vector<std::int32_t>& active,
                     std::size_t live, const std::vector<Count>& count, std::size_t* pi,
                     std::size_t* pe) {
  std::int64_t best = -1;
  for (std::size_t k = 0; k < live && best != 0; ++k) {
    const Entries& r = rows[static_cast<std::size_t>(active[k])];
    if (r.empty()) return false;
    const auto len = static_cast<std::int64_t>(r.size()) - 1;
    for (std::size_t t = 0; t < r.size(); ++t) {
      const std::int64_t cost = len * (count[static_cast<std::size_t>(r[t].first)] - 1);
      if (best < 0 || cost < best) {
        best = cost;
        *pi = k;
        *pe = t;
        if (cost == 0) break;
      }
    }
  }
  return true;
}

// Elimination on sorted sparse rows; each pivot the stored entry of least
// (row length - 1) * (column count - 1), so that the fill stays small.
template <bool char2>
class SparseResidueDet {
 public:
  using Entries = std::vector<std::pair<std::int32_t, std::uint32_t>>;
  explicit SparseResidueDet(std::int32_t m)
      : m_(m),
        rows_(static_cast<std::size_t>(m)),
        count_(static_cast<std::size_t>(m)),
        perm_(static_cast<std::size_t>(m)),
        active_(static_cast<std::size_t>(m)) {}
  Entries& row(std::int32_t r) { return rows_[static_cast<std::size_t>(r)]; }
  void clear() {
    for (auto& r : rows_) r.clear();
  }

  // The determinant of the rows set by row(); they are used up.
  std::uint32_t det(const ModRing<char2>& ring) {
    std::fill(count_.begin(), count_.end(), 0);
    for (std::int32_t r = 0; r < m_; ++r) {
      if (rows_[static_cast<std::size_t>(r)].empty()) return 0;
      for (const auto& x : rows_[static_cast<std::size_t>(r)])
        ++count_[static_cast<std::size_t>(x.first)];
    }
    for (std::int32_t r = 0; r < m_; ++r) active_[static_cast<std::size_t>(r)] = r;
    std::size_t live = static_cast<std::size_t>(m_);
    std::uint32_t d = 1;
    while (live > 0) {
      check_interrupt();
      std::size_t pi = 0, pe = 0;
      if (!markowitz_pivot(rows_, active_, live, count_, &pi, &pe)) return 0;
      const std::int32_t pr = active_[pi];
      Entries& prow = rows_[static_cast<std::size_t>(pr)];
      const std::int32_t pc = prow[pe].first;
      const std::uint32_t pv = prow[pe].second;
      perm_[static_cast<std::size_t>(pr)] = pc;
      d = ring.mul(d, pv);
      active_[pi] = active_[--live];
      for (const auto& x : prow) --count_[static_cast<std::size_t>(x.first)];
      if (live == 0) break;
      const std::uint32_t inv = residue_inverse(ring, pv);
      for (std::size_t k = 0; k < live; ++k) {
        Entries& r = rows_[static_cast<std::size_t>(active_[k])];
        const auto at = std::lower_bound(r.begin(), r.end(), std::make_pair(pc, std::uint32_t{0}));
        if (at == r.end() || at->first != pc) continue;
        const std::uint32_t factor = ring.mul(at->second, inv);
        // r := r - factor * prow, without column pc.
        merged_.clear();
        std::size_t a = 0;
        for (const auto& [c, v] : prow) {
          while (a < r.size() && r[a].first < c) merged_.push_back(r[a++]);
          if (c == pc) {
            if (a < r.size() && r[a].first == c) ++a;
            --count_[static_cast<std::size_t>(c)];
            continue;
          }
          const std::uint32_t prod = ring.mul(factor, v);
          if (a < r.size() && r[a].first == c) {
            const std::uint32_t s = ring.sub(r[a++].second, prod);
            if (s != 0)
              merged_.emplace_back(c, s);
            else
              --count_[static_cast<std::size_t>(c)];
          } else if (prod != 0) {
            merged_.emplace_back(c, ring.sub(0, prod));
            ++count_[static_cast<std::size_t>(c)];
          }
        }
        while (a < r.size()) merged_.push_back(r[a++]);
        r.swap(merged_);
      }
      prow.clear();
    }
    if constexpr (!char2) {
      // The sign of the permutation row -> pivot column.
      std::int32_t cycles = 0;
      seen_.assign(static_cast<std::size_t>(m_), 0);
      for (std::int32_t r = 0; r < m_; ++r) {
        if (seen_[static_cast<std::size_t>(r)]) continue;
        ++cycles;
        for (std::int32_t x = r; !seen_[static_cast<std::size_t>(x)];
             x = perm_[static_cast<std::size_t>(x)])
          seen_[static_cast<std::size_t>(x)] = 1;
      }
      if ((m_ - cycles) % 2 != 0) d = ring.sub(0, d);
    }
    return d;
  }

 private:
  std::int32_t m_;
  std::vector<Entries> rows_;
  std::vector<std::int32_t> count_, perm_, active_;
  std::vector<char> seen_;
  Entries merged_;
};

// A straight-line elimination for one sparsity pattern (the stored entries'
// rows and columns, sorted by row, then column): the pivots chosen once by
// the same least (row length - 1) * (column count - 1), the fill recorded.
// A determinant then runs the recorded operations on the entries' values
// without a division: the row eliminated is multiplied by the pivot, and
// the product of those multipliers is divided out once at the end. Nothing
// depends on the values but whether a pivot is 0, which run() reports.
template <bool char2>
class EliminationProgram {
 public:
  bool matches(const std::vector<std::int32_t>& row, const std::vector<std::int32_t>& col) const {
    return built_ && row == row_ && col == col_;
  }

  void build(std::int32_t m, const std::vector<std::int32_t>& row,
             const std::vector<std::int32_t>& col) {
    built_ = true;
    row_ = row;
    col_ = col;
    steps_.clear();
    ops_.clear();
    scale_.clear();
    axpy_.clear();
    zero_ = false;
    negate_ = false;
    entries_ = static_cast<std::int32_t>(row.size());
    std::int32_t slots = entries_;
    using Entries = std::vector<std::pair<std::int32_t, std::int32_t>>;  // (column, slot)
    std::vector<Entries> rows(static_cast<std::size_t>(m));
    std::vector<std::int64_t> count(static_cast<std::size_t>(m), 0);
    for (std::int32_t k = 0; k < entries_; ++k) {
      rows[static_cast<std::size_t>(row[static_cast<std::size_t>(k)])].emplace_back(
          col[static_cast<std::size_t>(k)], k);
      ++count[static_cast<std::size_t>(col[static_cast<std::size_t>(k)])];
    }
    std::vector<std::int32_t> active(static_cast<std::size_t>(m)),
        perm(static_cast<std::size_t>(m));
    for (std::int32_t r = 0; r < m; ++r) active[static_cast<std::size_t>(r)] = r;
    std::size_t live = static_cast<std::size_t>(m);
    Entries merged;
    while (live > 0) {
      std::size_t pi = 0, pe = 0;
      if (!markowitz_pivot(rows, active, live, count, &pi, &pe)) {
        zero_ = true;  // a row of structural zeros
        slots_ = slots;
        return;
      }
      const std::int32_t pr = active[pi];
      Entries& prow = rows[static_cast<std::size_t>(pr)];
      const std::int32_t pc = prow[pe].first;
      perm[static_cast<std::size_t>(pr)] = pc;
      Step step{prow[pe].second, static_cast<std::int32_t>(ops_.size()), 0};
      active[pi] = active[--live];
      for (const auto& x : prow) --count[static_cast<std::size_t>(x.first)];
      for (std::size_t k = 0; k < live; ++k) {
        Entries& r = rows[static_cast<std::size_t>(active[k])];
        const auto at = std::lower_bound(r.begin(), r.end(), std::make_pair(pc, std::int32_t{-1}));
        if (at == r.end() || at->first != pc) continue;
        Op op{at->second, static_cast<std::int32_t>(scale_.size()), 0,
              static_cast<std::int32_t>(axpy_.size()), 0};
        // r := piv r - r[pc] prow, without column pc.
        merged.clear();
        std::size_t a = 0;
        for (const auto& [c, slot] : prow) {
          while (a < r.size() && r[a].first < c) {
            scale_.push_back(r[a].second);
            merged.push_back(r[a++]);
          }
          if (c == pc) {
            if (a < r.size() && r[a].first == c) ++a;
            --count[static_cast<std::size_t>(c)];
            continue;
          }
          std::int32_t target = 0;
          if (a < r.size() && r[a].first == c) {
            target = r[a++].second;
          } else {
            target = slots++;
            ++count[static_cast<std::size_t>(c)];
          }
          axpy_.emplace_back(target, slot);
          merged.emplace_back(c, target);
        }
        while (a < r.size()) {
          scale_.push_back(r[a].second);
          merged.push_back(r[a++]);
        }
        op.scale_end = static_cast<std::int32_t>(scale_.size());
        op.axpy_end = static_cast<std::int32_t>(axpy_.size());
        ops_.push_back(op);
        r.swap(merged);
      }
      step.ops_end = static_cast<std::int32_t>(ops_.size());
      steps_.push_back(step);
      prow.clear();
    }
    slots_ = slots;
    if constexpr (!char2) {
      std::int32_t cycles = 0;
      std::vector<char> seen(static_cast<std::size_t>(m), 0);
      for (std::int32_t r = 0; r < m; ++r) {
        if (seen[static_cast<std::size_t>(r)]) continue;
        ++cycles;
        for (std::int32_t x = r; !seen[static_cast<std::size_t>(x)];
             x = perm[static_cast<std::size_t>(x)])
          seen[static_cast<std::size_t>(x)] = 1;
      }
      negate_ = (m - cycles) % 2 != 0;
    }
  }

  // *det := the determinant of the pattern with the entries' values
  // (one a stored entry, in the pattern's order); false when a pivot is 0
  // (nothing known). vals: the values followed by the fill, overwritten.
  bool run(const ModRing<char2>& ring, const std::vector<std::uint32_t>& entries,
           std::vector<std::uint32_t>& vals, std::uint32_t* det) const {
    if (zero_) {
      *det = 0;
      return true;
    }
    vals.assign(entries.begin(), entries.end());
    vals.resize(static_cast<std::size_t>(slots_), 0);
    std::uint32_t num = 1, den = 1;
    for (const Step& st : steps_) {
      const std::uint32_t piv = vals[static_cast<std::size_t>(st.pivot)];
      if (piv == 0) return false;
      num = ring.mul(num, piv);
      for (std::int32_t o = st.ops_begin; o < st.ops_end; ++o) {
        const Op& op = ops_[static_cast<std::size_t>(o)];
        const std::uint32_t f = vals[static_cast<std::size_t>(op.factor)];
        if (f == 0) continue;
        den = ring.mul(den, piv);
        for (std::int32_t k = op.scale_begin; k < op.scale_end; ++k) {
          std::uint32_t& v = vals[static_cast<std::size_t>(scale_[static_cast<std::size_t>(k)])];
          v = ring.mul(v, piv);
        }
        if constexpr (char2) {
          for (std::int32_t k = op.axpy_begin; k < op.axpy_end; ++k) {
            const auto [u, t] = axpy_[static_cast<std::size_t>(k)];
            std::uint32_t& v = vals[static_cast<std::size_t>(u)];
            v = ring.mul(v, piv) ^ ring.mul(f, vals[static_cast<std::size_t>(t)]);
          }
        } else {
          // piv v + (p - f) w in one reduction: both products are below 2^62.
          const std::uint64_t g = ring.f.p - f;
          for (std::int32_t k = op.axpy_begin; k < op.axpy_end; ++k) {
            const auto [u, t] = axpy_[static_cast<std::size_t>(k)];
            std::uint32_t& v = vals[static_cast<std::size_t>(u)];
            v = ring.f.reduce(std::uint64_t{v} * piv + g * vals[static_cast<std::size_t>(t)]);
          }
        }
      }
    }
    std::uint32_t d = ring.mul(num, residue_inverse(ring, den));
    if (negate_) d = ring.sub(0, d);
    *det = d;
    return true;
  }

 private:
  struct Step {
    std::int32_t pivot, ops_begin, ops_end;
  };
  struct Op {
    std::int32_t factor, scale_begin, scale_end, axpy_begin, axpy_end;
  };
  bool built_ = false;
  bool zero_ = false;
  bool negate_ = false;
  std::int32_t entries_ = 0, slots_ = 0;
  std::vector<std::int32_t> row_, col_;
  std::vector<Step> steps_;
  std::vector<Op> ops_;
  std::vector<std::int32_t> scale_;
  std::vector<std::pair<std::int32_t, std::int32_t>> axpy_;
};

// ---- The modular recursion on the stored entries ----------------------------------------

// A power hint: the determinant is g^p (p > 1: g is computed) or h(X^|p|)
// in every variable (p < -1: h is computed); c1 undoes the power modulo
// the prime (c1 * |p| = 1 modulo modulus - 1, or modulo (modulus - 1) / 2
// for an even |p|).
struct PowerHint {
  std::int32_t p = -1;
  std::uint32_t c1 = 0;
  std::int32_t abs() const { return p < 0 ? -p : p; }
  bool on() const { return abs() > 1; }
};

// The hint usable modulo q: odd |p| prime to q - 1, or |p| a power of two
// with q = 3 mod 4; p = -1 otherwise.
PowerHint power_modulo(std::int32_t p, std::uint32_t q) {
  PowerHint h;
  const std::int32_t a = p < 0 ? -p : p;
  if (a < 2 || q % 2 == 0) return h;
  std::int64_t e = q - 1;
  if (a % 2 == 0) {
    if ((a & (a - 1)) != 0 || q % 4 != 3) return h;
    e /= 2;
  }
  // c1 := 1 / a modulo e by Euclid.
  std::int64_t s = 0, t = 0;
  if (word_xgcd(e, a % e, &s, &t) != 1) return h;
  h.p = p;
  h.c1 = static_cast<std::uint32_t>(((t % e) + e) % e);
  return h;
}

// A flat residue polynomial as a value (consumed).
quoly residue_value(Flat<std::uint32_t>& f, std::int32_t nv) {
  quoly q = nullptr;
  set_residue_answer(&q, f, nv);
  return q;
}

// Writes point k of deg + 1 to the output file as statements: its image
// co[k] and its Lagrange basis polynomial poly[k] in variable v (the
// determinant is the sum of their products).
template <class R>
void stash_mod_lagrange(const R& ring, Flat<std::uint32_t> image,
                        const std::vector<std::uint32_t>& pts, std::size_t k, std::int32_t nv,
                        std::int32_t v) {
  static const tokentipe no_end = {"", 0};
  const std::size_t n = pts.size();
  // poly[k] = prod_{j != k} (X - a_j) / (a_k - a_j), low coefficient first.
  std::vector<std::uint32_t> b(1, 1);
  std::uint32_t denom = 1;
  for (std::size_t j = 0; j < n; ++j) {
    if (j == k) continue;
    std::vector<std::uint32_t> g(b.size() + 1, 0);
    for (std::size_t t = 0; t < b.size(); ++t) {
      g[t + 1] = ring.add(g[t + 1], b[t]);
      g[t] = ring.sub(g[t], ring.mul(b[t], pts[j]));
    }
    b.swap(g);
    denom = ring.mul(denom, ring.sub(pts[k], pts[j]));
  }
  const std::uint32_t factor = ring.inv(denom);
  Flat<std::uint32_t> basis;
  std::vector<std::int32_t> e(static_cast<std::size_t>(nv), 0);
  for (std::size_t t = b.size(); t-- > 0;) {
    const std::uint32_t c = ring.mul(b[t], factor);
    if (c == 0) continue;
    e[static_cast<std::size_t>(v)] = static_cast<std::int32_t>(t);
    basis.push(e.data(), nv, c);
  }
  quoly value = residue_value(image, nv), p = residue_value(basis, nv);
  std::int32_t length = 0;
  if (k == 0) std::fprintf(outpuf, "Array co[%d]; \n \n", static_cast<int>(n));
  std::fprintf(outpuf, "co[%d] := ", static_cast<int>(addresser + static_cast<std::int32_t>(k)));
  quoly_display(outpuf, value, &length, &no_end, polynames, {});
  std::fprintf(outpuf, "; \n \n");
  if (k == 0) std::fprintf(outpuf, "Array poly[%d]; \n \n", static_cast<int>(n));
  std::fprintf(outpuf, "poly[%d] := ", static_cast<int>(addresser + static_cast<std::int32_t>(k)));
  quoly_display(outpuf, p, &length, &no_end, polynames, {});
  std::fprintf(outpuf, "; \n \n");
  check_output_file();
  free_quoly(&value);
  free_quoly(&p);
}

template <bool char2>
class SparseModDet {
 public:
  // bounds (proven route): the degree bounds of the determinant in each
  // variable, taken for every evaluated matrix (evaluation raises no
  // degree); no degree is taken from images, and the points of a count
  // are always the same, their basis computed once.
  SparseModDet(std::int32_t m, std::int32_t nv, PowerHint power, bool two_points,
               const std::vector<std::int64_t>* bounds = nullptr)
      : ring_{{static_cast<std::uint32_t>(modulus)}},
        m_(m),
        nv_(nv),
        power_(power),
        two_points_(two_points),
        proven_(bounds != nullptr),
        bounds_(bounds),
        kernel_(m) {}

  // out := det(a) modulo the prime; the_degree >= 0 replaces the bound of
  // the variable degree_var (-1: of the top variable), the_degree2 > 0 that
  // of the next variable in the evaluated matrices. Without the_degree2 the
  // first two images' degree in the next variable, when they agree and
  // exceed 2, bounds (plus one) the rest.
  det_status det(const SparseFlat<std::uint32_t>& a, std::int64_t the_degree,
                 std::int32_t degree_var, bool top, Flat<std::uint32_t>& out,
                 std::int64_t the_degree2 = -1) {
    out.clear();
    const std::int32_t v = shallowest(a.e, nv_);
    const std::vector<std::int32_t> origin(static_cast<std::size_t>(std::max(nv_, 1)), 0);
    if (v < 0) {
      number_det(a, top, origin, out);
      return det_status::done;
    }
    const std::int64_t deg = degree_bound(a, v, the_degree, degree_var);
    // An even power in X^|p|: the points are |p|-th powers of points below
    // modulus / 2, so their values there are all distinct.
    const bool even_neg = power_.p < -1 && power_.abs() % 2 == 0;
    const std::int64_t width =
        two_points_
            ? 1
            : (even_neg ? (std::int64_t{modulus} - 1) / 2 : std::int64_t{modulus}) / (deg + 1);
    if (width < 2 && !two_points_) return too_few_points(deg);
    if (top) {
      ++dumpitt_level;
      if (verbose) {
        dumpitt(two_points_ ? "sparse LaGrange mod 2 interpolation, side "
                            : "sparse LaGrange interpolation, side ",
                m_, true, true, true);
        std::printf(" estimated degree is %d\n", static_cast<int>(deg));
      }
    }
    const ProgressLevel close{top, m_};
    const auto n = static_cast<std::size_t>(deg) + 1;
    std::vector<std::uint32_t> pts(n), values(n);
    choose_points(width, even_neg, pts, values);
    const Plan pl = make_plan(a.e, nv_, v);
    std::vector<Flat<std::uint32_t>> images(n);
    std::vector<std::uint32_t> powers, scratch;
    SparseFlat<std::uint32_t> at;
    std::vector<Flat<std::uint32_t>> evaluated;
    // The degree of the images in the next variable, once two agree.
    std::int32_t next = -1;
    if (!pl.numbers_after && !proven_) next = shallowest_after(a, v);
    const std::int32_t next_var = next;
    std::int64_t first = -1, inner = top && the_degree2 > 0 ? the_degree2 : -1;
    // The points of the top level's inner variable go to the output file
    // as statements instead of into the answer.
    const bool stash = top && !pl.numbers_after && lagrange_stash != 0 && verbose && windy;
    if (stash && (output_file_name.empty() || outpuf == nullptr))
      abandon(no_output_file_open_error, &blank);
    // The last variable modulo a prime: a task per point.
    const bool pooled = pl.numbers_after && !char2 && mod_is_prime;
    if (pooled) last_variable_images(a, pl, values, origin, top, images);
    for (std::size_t i = 0; i < n && !pooled; ++i) {
      check_interrupt();
      if (top && verbose && (!pl.numbers_after || i % 10 == 0))
        dumpitt(" ", static_cast<std::int32_t>(i), false, false, true);
      if (pl.numbers_after) {
        last_variable_image(a, pl, values[i], origin, powers, images[i]);
        continue;
      }
      evaluate(ring_, a.e, pl, nv_, values[i], powers, scratch, evaluated);
      keep_evaluated(a, evaluated, at);
      const det_status s = det(at, inner, next_var, false, images[i]);
      if (s != det_status::done) return s;
      if (next >= 0 && inner == -1) {
        std::int64_t d = 0;
        for (std::size_t t = 0; t < images[i].c.size(); ++t)
          d = std::max<std::int64_t>(d, images[i].exp(t)[next]);
        if (i == 0) {
          first = d;
        } else {
          next = -1;
          if (d == first && d > 2) inner = d + 1;
        }
      }
      if (stash) {
        stash_mod_lagrange(ring_, images[i], pts, i, nv_, v);
        images[i].clear();
      }
    }
    if (proven_) {
      auto& basis = bases_[n];
      if (basis.empty()) basis = lagrange_basis(ring_, pts);
      interpolate_on(ring_, basis, n, images, nv_, v, out);
    } else {
      interpolate(ring_, pts, images, nv_, v, out);
    }
    return det_status::done;
  }

 private:
  // out := the determinant of a, whose entries are numbers.
  void number_det(const SparseFlat<std::uint32_t>& a, bool top,
                  const std::vector<std::int32_t>& origin, Flat<std::uint32_t>& out) {
    kernel_.clear();
    for (std::size_t k = 0; k < a.e.size(); ++k)
      kernel_.row(a.row[k]).emplace_back(a.col[k], a.e[k].c[0]);
    ++lagrange_last.points;
    std::uint32_t d = residue_det(a.e.size());
    // Below the top the power is that of every image.
    if (!top && power_.p > 1) d = pow(d, power_.c1);
    if (d != 0) out.push(origin.data(), nv_, d);
  }
  // The bound (at least 1) on the determinant's degree in v: the_degree
  // when it is given for v.
  std::int64_t degree_bound(const SparseFlat<std::uint32_t>& a, std::int32_t v,
                            std::int64_t the_degree, std::int32_t degree_var) const {
    // Characteristic 2 with every relation X^2 + X: the determinant modulo
    // the relations from the points 0 and 1 of each variable.
    std::int64_t deg = two_points_                                              ? 1
                       : the_degree >= 0 && (degree_var < 0 || degree_var == v) ? the_degree
                       : proven_ ? (*bounds_)[static_cast<std::size_t>(v)]
                                 : bound(a, v) / (power_.on() ? power_.abs() : 1);
    if (deg == 0) deg = 1;
    return deg;
  }
  // The modulus has fewer points than degree deg needs: declined, or too
  // small for this modulus (the rational algorithm may answer).
  static det_status too_few_points(std::int64_t deg) {
    if (deg >= 35023) {
      if (verbose)
        std::printf(" estimated degree %d is too large for this method.\n", static_cast<int>(deg));
      return det_status::declined;
    }
    if (finf) {
      if (verbose) std::printf(" degree %d is too large for this field. \n", static_cast<int>(deg));
      return det_status::declined;
    }
    if (verbose)
      std::printf(" degree %d is too large for this modulus. will try rational algorithm.\n",
                  static_cast<int>(deg));
    return det_status::too_small;
  }
  // pts := the points, width apart (0 and 1 for two points; at random in
  // each stretch unless proven), and values := where the variable is taken
  // at each.
  void choose_points(std::int64_t width, bool even_neg, std::vector<std::uint32_t>& pts,
                     std::vector<std::uint32_t>& values) const {
    for (std::size_t k = 0; k < pts.size(); ++k) {
      pts[k] =
          two_points_ ? static_cast<std::uint32_t>(k)
          : proven_
              ? static_cast<std::uint32_t>(std::int64_t(k) * width + width / 2)
              : static_cast<std::uint32_t>(std::int64_t(k) * width +
                                           static_cast<std::uint32_t>(lagrange_random()) % width);
      if (even_neg) pts[k] = pow(pts[k], static_cast<std::uint32_t>(power_.abs()));
      // In X^|p|: the determinant at a^c1 is h at a.
      values[k] = power_.p < -1 ? pow(pts[k], power_.c1) : pts[k];
      if (even_neg && values[k] > (static_cast<std::uint32_t>(modulus) - 1) / 2)
        values[k] = static_cast<std::uint32_t>(modulus) - values[k];
    }
  }
  // image := the determinant of a with its last variable at value: the
  // values go straight into the residue rows.
  void last_variable_image(const SparseFlat<std::uint32_t>& a, const Plan& pl, std::uint32_t value,
                           const std::vector<std::int32_t>& origin,
                           std::vector<std::uint32_t>& powers, Flat<std::uint32_t>& image) {
    powers.assign(static_cast<std::size_t>(pl.max_power) + 1, 1);
    for (std::size_t k = 1; k < powers.size(); ++k) powers[k] = ring_.mul(powers[k - 1], value);
    const bool dense = use_dense(a.e.size());
    if (dense) {
      cells_.assign(static_cast<std::size_t>(m_) * static_cast<std::size_t>(m_), 0);
    } else {
      if (!program_.matches(a.row, a.col)) program_.build(m_, a.row, a.col);
      vals_.resize(a.e.size());
    }
    for (std::size_t e = 0; e < a.e.size(); ++e) {
      const std::size_t t0 = pl.term_start[e], t1 = pl.term_start[e + 1];
      const std::uint32_t s =
          entry_at_point(ring_, a.e[e].c.data(), pl.power.data() + t0, t1 - t0, powers);
      if (dense)
        cells_[static_cast<std::size_t>(a.col[e]) * static_cast<std::size_t>(m_) +
               static_cast<std::size_t>(a.row[e])] = s;
      else
        vals_[e] = s;
    }
    ++lagrange_last.points;
    std::uint32_t d = 0;
    if (dense) {
      d = dense_->mod_det(cells_);
    } else if (!program_.run(ring_, vals_, work_, &d)) {
      // A pivot of the recorded order is 0 here: the elimination that
      // chooses its pivots by value.
      kernel_.clear();
      for (std::size_t e = 0; e < a.e.size(); ++e)
        if (vals_[e] != 0) kernel_.row(a.row[e]).emplace_back(a.col[e], vals_[e]);
      d = kernel_.det(ring_);
    }
    if (power_.p > 1) d = pow(d, power_.c1);
    if (d != 0) image.push(origin.data(), nv_, d);
  }
  // images[i] := the determinant of a with its last variable at values[i],
  // as last_variable_image gives it, one task per point (modulo a prime
  // outside characteristic 2: the determinant of the dense rows by
  // prime_residue_determ); then, in the order of the points, the progress,
  // the count of points and the images.
  void last_variable_images(const SparseFlat<std::uint32_t>& a, const Plan& pl,
                            const std::vector<std::uint32_t>& values,
                            const std::vector<std::int32_t>& origin, bool top,
                            std::vector<Flat<std::uint32_t>>& images) {
    const bool dense = use_dense(a.e.size());
    if (!dense && !program_.matches(a.row, a.col)) program_.build(m_, a.row, a.col);
    const auto m = static_cast<std::size_t>(m_);
    const auto p = static_cast<std::uint32_t>(modulus);
    std::vector<std::uint32_t> dets(values.size());
    const double side = m_, stored = static_cast<double>(a.e.size());
    run_images(values.size(), dense ? side * side * side / 3 : stored * side, [&](std::size_t i) {
      check_interrupt();
      std::vector<std::uint32_t> powers(static_cast<std::size_t>(pl.max_power) + 1, 1),
          vals(a.e.size()), work;
      for (std::size_t k = 1; k < powers.size(); ++k)
        powers[k] = ring_.mul(powers[k - 1], values[i]);
      for (std::size_t e = 0; e < a.e.size(); ++e) {
        const std::size_t t0 = pl.term_start[e], t1 = pl.term_start[e + 1];
        vals[e] = entry_at_point(ring_, a.e[e].c.data(), pl.power.data() + t0, t1 - t0, powers);
      }
      std::uint32_t d = 0;
      if (dense) {
        std::vector<std::uint32_t> cells(m * m, 0);
        for (std::size_t e = 0; e < a.e.size(); ++e)
          cells[static_cast<std::size_t>(a.row[e]) * m + static_cast<std::size_t>(a.col[e])] =
              vals[e];
        d = prime_residue_determ(cells.data(), m_, p);
      } else if (!program_.run(ring_, vals, work, &d)) {
        SparseResidueDet<char2> kernel(m_);
        for (std::size_t e = 0; e < a.e.size(); ++e)
          if (vals[e] != 0) kernel.row(a.row[e]).emplace_back(a.col[e], vals[e]);
        d = kernel.det(ring_);
      }
      dets[i] = power_.p > 1 ? pow(d, power_.c1) : d;
    });
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (top && verbose && i % 10 == 0)
        dumpitt(" ", static_cast<std::int32_t>(i), false, false, true);
      ++lagrange_last.points;
      if (dets[i] != 0) images[i].push(origin.data(), nv_, dets[i]);
    }
  }
  // at := the entries of a evaluated at a point (evaluated, taken), those
  // that vanished left out.
  static void keep_evaluated(const SparseFlat<std::uint32_t>& a,
                             std::vector<Flat<std::uint32_t>>& evaluated,
                             SparseFlat<std::uint32_t>& at) {
    at.m = a.m;
    at.row.clear();
    at.col.clear();
    at.e.resize(evaluated.size());
    std::size_t kept = 0;
    for (std::size_t e = 0; e < evaluated.size(); ++e) {
      if (evaluated[e].c.empty()) continue;
      at.row.push_back(a.row[e]);
      at.col.push_back(a.col[e]);
      std::swap(at.e[kept++], evaluated[e]);
    }
    at.e.resize(kept);
  }
  std::uint32_t pow(std::uint32_t b, std::uint32_t e) const { return ring_.f.kit.pow(b, e); }
  // A matrix more than a quarter full goes to the dense kernel (when a
  // work array is free for it and it fits one) instead of sparse elimination.
  bool use_dense(std::size_t stored) {
    const auto m = static_cast<std::size_t>(m_);
    if (stored * 4 <= m * m || m < 8 || m * m > static_cast<std::size_t>(workarray_cells))
      return false;
    if (!dense_) dense_.emplace(m_);
    return dense_->ok();
  }
  // The determinant of the residue rows in kernel_.
  std::uint32_t residue_det(std::size_t stored) {
    if (!use_dense(stored)) return kernel_.det(ring_);
    const auto m = static_cast<std::size_t>(m_);
    cells_.assign(m * m, 0);
    for (std::int32_t r = 0; r < m_; ++r) {
      for (const auto& [c, v] : kernel_.row(r))
        cells_[static_cast<std::size_t>(c) * m + static_cast<std::size_t>(r)] = v;
      kernel_.row(r).clear();
    }
    return dense_->mod_det(cells_);
  }
  std::int64_t bound(const SparseFlat<std::uint32_t>& a, std::int32_t v) const {
    std::vector<Row> rows(static_cast<std::size_t>(m_));
    for (std::size_t k = 0; k < a.e.size(); ++k) {
      std::int64_t d = 0;
      for (std::size_t t = 0; t < a.e[k].c.size(); ++t)
        d = std::max<std::int64_t>(d, a.e[k].exp(t)[v]);
      rows[static_cast<std::size_t>(a.row[k])].emplace_back(a.col[k], d);
    }
    return compute_degree_1(std::move(rows), m_);
  }
  // The shallowest variable below v present in a.
  std::int32_t shallowest_after(const SparseFlat<std::uint32_t>& a, std::int32_t v) const {
    std::int32_t best = nv_;
    for (const auto& e : a.e)
      for (std::size_t t = 0; t < e.c.size(); ++t)
        for (std::int32_t k = v + 1; k < best; ++k)
          if (e.exp(t)[k] != 0) {
            best = k;
            break;
          }
    return best == nv_ ? -1 : best;
  }

  ModRing<char2> ring_;
  std::int32_t m_, nv_;
  PowerHint power_;
  bool two_points_;
  bool proven_;
  const std::vector<std::int64_t>* bounds_;
  std::map<std::size_t, std::vector<std::uint32_t>> bases_;  // by point count (proven route)
  SparseResidueDet<char2> kernel_;
  EliminationProgram<char2> program_;
  std::vector<std::uint32_t> vals_, work_;
  std::optional<NumberMatrix> dense_;
  std::vector<std::uint32_t> cells_;
};

// the_degree bounds the variable degree_var (-1: the top one); bounds: as
// for SparseModDet.
det_status sparse_mod_det(const SparseFlat<std::uint32_t>& a, std::int32_t nv,
                          std::int64_t the_degree, std::int64_t the_degree2, PowerHint power,
                          Flat<std::uint32_t>& out, bool two_points = false,
                          std::int32_t degree_var = -1,
                          const std::vector<std::int64_t>* bounds = nullptr) {
  if (finf) {
    SparseModDet<true> d(a.m, nv, PowerHint{}, two_points, bounds);
    return d.det(a, the_degree, degree_var, true, out, the_degree2);
  }
  SparseModDet<false> d(a.m, nv, power, two_points, bounds);
  // The bounds given are those of the determinant, not of its root.
  if (power.on() && the_degree2 > 0)
    the_degree2 = std::max<std::int64_t>(the_degree2 / power.abs(), 1);
  return d.det(a, the_degree, degree_var, true, out, the_degree2);
}

// ---- Reading the matrix ----------------------------------------------------------------

// The entries of one row: (column from 0, value) in column order.
using SortedRow = std::vector<std::pair<std::int32_t, quoly>>;

// Calls visit(r, cells) for each of the first m rows of the sparse matrix
// sp (r from 0), cells its entries of columns 1..m; stops with false at the
// first call that returns false.
template <class Visit>
bool for_each_sorted_row(sparseptr sp, std::int32_t m, Visit&& visit) {
  std::int32_t r = 0;
  SortedRow cells;
  for (sparseptr fr = sp; fr != nullptr && r < m; fr = fr->next) {
    for (int s = 0; s < sparse_frame_rows && r < m; ++s, ++r) {
      cells.clear();
      for (colm_ptr e = fr->indx[s]; e != nullptr; e = e->next)
        if (e->coord >= 1 && e->coord <= m) cells.emplace_back(e->coord - 1, e->val);
      std::sort(cells.begin(), cells.end(),
                [](const auto& x, const auto& y) { return x.first < y.first; });
      if (!visit(r, cells)) return false;
    }
  }
  return true;
}

// Reads the stored entries; put(exponents, leaf) returns false for a zero
// leaf. false: a negative exponent.
template <class C, class Put>
bool read_sparse(sparseptr sp, std::int32_t m, std::int32_t nv, SparseFlat<C>& out, Put&& put) {
  out.m = m;
  bool negative = false;
  for_each_sorted_row(sp, m, [&](std::int32_t r, const SortedRow& row) {
    for (const auto& [c, q] : row) {
      Flat<C> f;
      negative = !read_entry(q, nv, [&](const std::int32_t* x, imptr n) {
        C v{};
        if (put(n, v)) f.push(x, nv, v);
      }) || negative;
      if (f.c.empty()) continue;
      out.row.push_back(r);
      out.col.push_back(c);
      out.e.push_back(std::move(f));
    }
    return true;
  });
  return !negative;
}

std::int32_t top_variable(const std::vector<Flat<std::size_t>>& a, std::int32_t nv) {
  return shallowest(a, nv);
}

// The primes by the size of the matrix: below 50 rows `prime` from
// 6 + r mod 4, below 200 `big_prime` from 1, else `lrgpme` from 1; then the
// tables in turn (`prime`, `med_prime`, `big_prime`, `lrgpme`), each from
// 1 + r mod 5, with a random skip of r mod 3 at every multiple of 10.
// With a power hint only the primes where it can be undone are taken.
struct SparsePrimes final : ZPrimes {
  enum table { small = 0, med = 1, big = 2, large = 3 };
  table t;
  std::int32_t i;
  std::int32_t power;
  bool exhausted = false;
  SparsePrimes(std::int32_t m, std::int32_t the_power) : power(the_power) {
    if (m < 50) {
      t = small;
      i = 6 + lagrange_random() % 4;
    } else {
      t = m < 200 ? big : large;
      i = 1;
    }
    while (!usable() && step()) {
    }
    if (exhausted) i = 1;
  }
  bool usable() const { return std::abs(power) < 2 || power_modulo(power, current()).on(); }
  bool advance() override {
    while (step())
      if (usable()) return true;
    i = 1;
    return false;
  }
  std::uint32_t current() const override {
    switch (t) {
      case small:
        if (i > 5) need_data_file(data_file::pprods);
        return static_cast<std::uint32_t>(prime[i]->head->value);
      case med:
        need_data_file(data_file::primelist);
        return static_cast<std::uint32_t>(med_prime[i]);
      case big: need_data_file(data_file::bprimes); return static_cast<std::uint32_t>(big_prime[i]);
      default: need_data_file(data_file::lrgpmes); return static_cast<std::uint32_t>(lrgpme[i]);
    }
  }
  bool step() {
    ++i;
    if (i % 10 == 0) i += lagrange_random() % 3;
    static constexpr std::int32_t ends[] = {605, 2467, 1517};
    if (t != large && i >= ends[t]) {
      t = static_cast<table>(t + 1);
      i = 1 + lagrange_random() % 5;
    }
    exhausted = t == large && i > 2000;
    return !exhausted;
  }
};

// The integer determinant of the entries (coefficients indexes into coefs).
// proven_bits >= 0: the proven route (its primes, a bound on the
// coefficients; no power, no degrees given).
bool sparse_z_det(const SparseFlat<std::size_t>& a, const std::vector<ZInt>& coefs,
                  std::int32_t this_deg, std::int32_t this_deg2, std::int32_t the_power,
                  std::int32_t numprimes, ZResult& det, double proven_bits = -1) {
  const std::int32_t nv = number_polys;
  const bool proven = proven_bits >= 0;
  SparsePrimes table_primes(a.m, the_power);
  ProvenPrimes largest;
  ZPrimes& primes = proven ? static_cast<ZPrimes&>(largest) : table_primes;
  if (!proven && table_primes.exhausted) return false;
  // A bound is that of the integer matrix's top variable, even where an
  // image loses it.
  const std::int32_t top = top_variable(a.e, nv);
  // The proven route bounds every variable once, on the integer matrix: the
  // largest degree along a permutation (up to side 300; the max-plus
  // estimate above it).
  std::vector<std::int64_t> bounds;
  if (proven)
    for (std::int32_t v = 0; v < nv; ++v) {
      std::vector<Row> rows(static_cast<std::size_t>(a.m));
      for (std::size_t k = 0; k < a.e.size(); ++k) {
        std::int64_t d = 0;
        for (std::size_t t = 0; t < a.e[k].c.size(); ++t)
          d = std::max<std::int64_t>(d, a.e[k].exp(t)[v]);
        rows[static_cast<std::size_t>(a.row[k])].emplace_back(a.col[k], d);
      }
      if (a.m > 300) {
        bounds.push_back(compute_degree_1(std::move(rows), a.m));
        continue;
      }
      const auto n = static_cast<std::size_t>(a.m);
      std::vector<std::int64_t> D(n * n, lagrange_zero_entry);
      for (std::size_t r = 0; r < n; ++r)
        for (const auto& [c, d] : rows[r]) D[r * n + static_cast<std::size_t>(c)] = d;
      bounds.push_back(max_assignment(D, a.m));
    }
  const ZImage image = [&](std::int32_t deg, Flat<std::uint32_t>& img) {
    const auto p = static_cast<std::uint32_t>(modulus);
    SparseFlat<std::uint32_t> r;
    r.m = a.m;
    for (std::size_t k = 0; k < a.e.size(); ++k) {
      Flat<std::uint32_t> f;
      for (std::size_t t = 0; t < a.e[k].c.size(); ++t) {
        const std::uint32_t v = coefs[a.e[k].c[t]].mod_word(p);
        if (v != 0) f.push(a.e[k].exp(t), nv, v);
      }
      if (f.c.empty()) continue;
      r.row.push_back(a.row[k]);
      r.col.push_back(a.col[k]);
      r.e.push_back(std::move(f));
    }
    return sparse_mod_det(r, nv, deg, this_deg2, power_modulo(the_power, p), img, false, top,
                          proven ? &bounds : nullptr);
  };
  const ZBanners banners{numprimes > 0 ? "sparse S LaGrange interpolation over Z, rows "
                                       : "sparse LaGrange interpolation over Z, rows ",
                         "Modular Determinant method, sparse. Now in modular mode, modulus "};
  return z_crt(primes, image, banners, a.m, nv, top, this_deg, numprimes, det, proven_bits);
}

// The modulus is too small for the degree: the residues taken as integers,
// the integer driver, the answer reduced again.
bool use_sparse_rat_poly_det(const SparseFlat<std::uint32_t>& a, quolyptr q) {
  const std::int32_t nv = number_polys;
  std::vector<ZInt> coefs;
  SparseFlat<std::size_t> z;
  z.m = a.m;
  z.row = a.row;
  z.col = a.col;
  for (const auto& e : a.e) {
    Flat<std::size_t> f;
    for (std::size_t t = 0; t < e.c.size(); ++t) {
      const ZInt c(e.c[t]);
      f.push(e.exp(t), nv, coefs.size());
      coefs.push_back(c);
    }
    z.e.push_back(std::move(f));
  }
  ZResult det;
  if (!sparse_z_det(z, coefs, -1, -1, -1, 0, det)) return false;
  const auto p = static_cast<std::uint32_t>(modulus);
  Flat<std::uint32_t> out;
  for (auto& [k, x] : det) {
    const std::uint32_t r = x.mod_word(p);
    if (r != 0) out.push(k.data(), nv, r);
  }
  free_quoly(q);
  *q = residue_value(out, nv);
  return true;
}

// The relation of the variable at depth d: none, X^2 + X, or another.
enum class relation { none, x2_plus_x, other };
relation relation_of(std::int16_t d) {
  // A coefficient 1 (through pad terms).
  auto one = [](poly c) {
    while (!c->numb && c->exp == 0 && c->next == nullptr) c = c->pcoef;
    return c->numb && c->next == nullptr && c->ncoef->lint == 1;
  };
  for (polypt q = polynames; q != nullptr; q = q->next) {
    if (q->depth != d) continue;
    if (q->p == nullptr) return relation::none;
    poly p = q->p;
    while (!p->numb && p->exp == 0 && p->next == nullptr && !p->pcoef->numb) p = p->pcoef;
    const bool ok = !p->numb && p->exp == 2 && one(p->pcoef) && p->next != nullptr &&
                    !p->next->numb && p->next->exp == 1 && one(p->next->pcoef) &&
                    p->next->next == nullptr;
    return ok ? relation::x2_plus_x : relation::other;
  }
  return relation::none;
}

}  // namespace

}  // namespace lagrange

using namespace lagrange;

bool sparse_rat_poly_determ(sparseptr spar, std::int32_t m, quolyptr q, poly fct,
                            std::int32_t this_deg, std::int32_t this_deg2, std::int32_t the_power,
                            std::int32_t numprimes) {
  if (field_depth > 0) return false;
  const std::int32_t nv = number_polys;
  std::vector<ZInt> coefs;
  SparseFlat<std::size_t> a;
  const bool ok = read_sparse(spar, m, nv, a, [&](imptr n, std::size_t& v) {
    ZInt c;
    if (!read_zcoef(n, c)) return false;
    v = coefs.size();
    coefs.push_back(std::move(c));
    return true;
  });
  if (!ok) {
    refuse_negative_exponents();
    return false;
  }
  ZResult det;
  // The bound given is that of the determinant, not of its root.
  if (this_deg > 0 && std::abs(the_power) > 1) this_deg /= std::abs(the_power);
  const bool found = sparse_z_det(a, coefs, this_deg, this_deg2, the_power, numprimes, det);
  return z_answer(q, found, det, nv, fct);
}

bool sparse_rat_poly_interpolated(sparseptr spar, std::int32_t m, quolyptr q) {
  if (verbose || lintmode || field_depth > 0 || m < 1 || m > 65535 ||
      lagrangedepth + 1 > lagrangecut || !ProvenPrimes::ready())
    return false;
  const DepthLevel level;
  const std::int32_t nv = number_polys;
  ZRows rows(m, nv);
  SparseFlat<std::size_t> a;
  a.m = m;
  const bool ok = for_each_sorted_row(spar, m, [&](std::int32_t r, const SortedRow& cells) {
    return rows.read_row(r, cells, [&](std::int32_t c, Flat<std::size_t>&& f) {
      a.row.push_back(r);
      a.col.push_back(c);
      a.e.push_back(std::move(f));
    });
  });
  if (!ok) return false;
  ZResult det;
  if (!sparse_z_det(a, rows.coefs, -1, -1, -1, 0, det, rows.bound_bits())) return false;
  nodes::OwnedValue value;
  if (!z_answer(value.cell(), true, det, nv, nullptr)) return false;
  rows.divide_by_multipliers(value.cell());
  free_quoly(q);
  *q = value.release();
  return true;
}

bool sparse_mod_poly_determ(sparseptr spar, std::int32_t m, quolyptr q, poly fct,
                            std::int32_t the_degree, std::int32_t the_degree2,
                            std::int32_t the_power) {
  if (field_depth > 0 || !mod_is_prime) return false;
  const std::int32_t nv = number_polys;
  SparseFlat<std::uint32_t> a;
  const bool ok = read_sparse(spar, m, nv, a, [](imptr n, std::uint32_t& v) {
    v = static_cast<std::uint32_t>(n->lint);
    return v != 0;
  });
  if (!ok) {
    refuse_negative_exponents();
    return false;
  }
  lagrange_last = {};
  Flat<std::uint32_t> out;
  bool two_points = false;
  if (char2_degs1 && (finf || modulus == 2)) {
    // Evaluation at 0 and 1 gives the determinant modulo X^2 + X only.
    // A variable without a relation leaves the general points.
    two_points = true;
    for (const auto& e : a.e)
      for (std::size_t t = 0; t < e.c.size(); ++t)
        for (std::int32_t k = 0; k < nv; ++k) {
          if (e.exp(t)[k] == 0) continue;
          const relation r = relation_of(static_cast<std::int16_t>(k + 1));
          if (r == relation::other) return false;
          two_points = two_points && r == relation::x2_plus_x;
        }
  }
  // A power that cannot be undone modulo this prime is ignored.
  const PowerHint power = power_modulo(the_power, static_cast<std::uint32_t>(modulus));
  if (power.on()) the_degree = the_degree > 0 ? the_degree / power.abs() : -1;
  const det_status s = sparse_mod_det(a, nv, the_degree, the_degree2, power, out, two_points);
  if (s == det_status::declined) return false;
  if (s == det_status::too_small) {
    if (power.on() || !use_sparse_rat_poly_det(a, q)) return false;
  } else {
    free_quoly(q);
    *q = residue_value(out, nv);
  }
  divide_out(q, fct);
  return true;
}

bool sparse_lagrange(sparseptr* spar, quolyptr n, std::int32_t m, poly fct, std::int32_t the_degree,
                     std::int32_t the_degree2, std::int32_t the_power, bool /*really*/,
                     std::int32_t numprimes) {
  if (m > 65535) {
    std::printf("Warning. Too many columns (> 65535) for sparse LaGrange method.\n");
    return false;
  }
  const std::int32_t p = std::abs(the_power);
  if (p > 2 && p % 2 == 0 && (p & (p - 1)) != 0 && !modularmode) {
    if (verbose)
      std::printf("Specified power must be odd or power of 2. LaGrange method abandoned.\n");
    return false;
  }
  // A root or a polynomial in powers taken at each point would be garbage
  // for a determinant that is no such power, and a different one at every
  // call: the interpolation computes the whole determinant, and the router
  // takes the power afterwards, where it can tell the two apart.
  the_power = -1;
  if (flotemode || m < 1) return false;
  if (modularmode)
    return sparse_mod_poly_determ(*spar, m, n, fct, the_degree, the_degree2, the_power);
  if (lintmode) {
    error(word_arithmetic_error, &blank);
    return false;
  }
  return sparse_rat_poly_determ(*spar, m, n, fct, the_degree, the_degree2, the_power, numprimes);
}

}  // namespace tavrin
