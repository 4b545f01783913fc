// The Euclidean Hermite elimination on flat integers (see flat_hermite.h).
// Each step mirrors its counterpart in normal_forms.cpp: the pivot search of
// intfindbest, the column reductions of int_colreduce with their search for
// a smaller entry, the placement, and the reductions of hermite_two.
#include "matrix/normal_forms/flat_hermite.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "core/interrupts.h"
#include "numbers/bigint.h"
#include "numbers/bigint_wide.h"
#include "numbers/freelists.h"
#include "numbers/zint.h"
#include "arrays/array_store.h"
#include "matrix/normal_forms/wide_store.h"

namespace tavrin {

namespace {

using wide::Factor;
using wide::Store;
using wide::WideInt;

class Elimination : FlatMatrix {
 public:
  Elimination(arrptr q, const DenseTransforms& tx)
      : FlatMatrix(tx.want, tx.rows, tx.cols), tx_(tx) {
    for (std::int32_t k = 0; k < rows_ * cols_; ++k) {
      imptr x = (*arp_cell(q->start + k))->ncoef;
      if (std::int64_t v = 0; small_number_value(x, &v))
        a_.set(static_cast<std::size_t>(k), v);
      else
        a_.set(static_cast<std::size_t>(k), ZInt::from_number(x));
    }
    start();
  }

  // The rank, or -1 when an entry passed the budget.
  std::int32_t run() {
    std::int32_t last = std::min(rows_, cols_) - 1;
    for (std::int32_t i = 0; i <= last; ++i) {
      check_interrupt();
      std::int32_t pr = 0, pc = 0;
      if (!find_best(i, &pr, &pc)) {
        last = i - 1;
        break;
      }
      for (bool restart = true; restart;) {
        restart = false;
        for (std::int32_t t = i; t < cols_ && !restart; ++t) {
          if (t == pc || a_.zero(idx(pr, t))) continue;  // a zero entry: nothing to reduce
          const Factor f = quotient(idx(pr, t), idx(pr, pc), false);
          // The pivot is the least entry, so only a zero entry has quotient 0.
          if (f.zero()) continue;
          if (!col_sub(t, pc, i, f)) return -1;
          // The least non-zero entry of the column if smaller than the pivot.
          std::size_t least = idx(pr, pc);
          std::int32_t at = -1;
          for (std::int32_t r = i; r < rows_; ++r)
            if (!a_.zero(idx(r, t)) && abs_less(idx(r, t), least)) {
              least = idx(r, t);
              at = r;
            }
          if (at >= 0) {
            pr = at;
            pc = t;
            restart = true;
          }
        }
      }
      place(i, pr, pc);
    }
    const std::int32_t rank = last + 1;
    for (std::int32_t i = 0; i < rank; ++i) {
      for (std::int32_t j = 0; j < i; ++j) {
        if (a_.zero(idx(i, j))) continue;
        const Factor f = quotient(idx(i, j), idx(i, i), true);
        if (!f.zero() && !col_sub(j, i, i, f)) return -1;
      }
    }
    return rank;
  }

  // The results into q's cells and the transforms' (identities until now).
  void write(arrptr q) const {
    for (std::int32_t k = 0; k < rows_ * cols_; ++k)
      wide::store_entry(a_, static_cast<std::size_t>(k), (*arp_cell(q->start + k))->ncoef);
    // P's row r holds its 1 in column order[r]; P^-1 = P^T.
    for (int w : {0, 2}) {
      if (!tx_.want[w]) continue;
      workptr arr = w == 0 ? tx_.alpha : tx_.alphinv;
      for (std::int32_t r = 0; r < rows_; ++r) {
        const std::int32_t c = order_[static_cast<std::size_t>(r)];
        if (c == r) continue;
        set_word_number(1, arr->stash[w == 0 ? r + c * rows_ : c + r * rows_]->ncoef);
        set_word_number(0, arr->stash[r + r * rows_]->ncoef);
      }
    }
    // beta is held by columns, betinv by rows.
    for (std::int32_t j = 0; j < cols_; ++j)
      for (std::int32_t x = 0; x < cols_; ++x) {
        const std::size_t k = line(j) + static_cast<std::size_t>(x);
        if (tx_.want[1]) wide::store_entry(beta_, k, tx_.beta->stash[x + j * cols_]->ncoef);
        if (tx_.want[3]) wide::store_entry(betinv_, k, tx_.betinv->stash[j + x * cols_]->ncoef);
      }
  }

 private:
  // s[x + t] += sign f s[y + t] for t < n; false when an entry passes the
  // budget.
  bool axpy(Store& s, std::size_t x, std::size_t y, std::size_t n, const Factor& f,
            int sign) const {
    const std::int64_t fw = f.big ? 0 : sign * f.w;
    for (std::size_t t = 0; t < n; ++t) {
      const std::size_t xi = x + t, yi = y + t;
      if (s.zero(yi)) continue;
      if (!f.big && !s.is_big(xi) && !s.is_big(yi)) {
        const __int128 v =
            static_cast<__int128>(s.word(xi)) + static_cast<__int128>(fw) * s.word(yi);
        if (v < wide::word_limit && v > -wide::word_limit) {
          s.set(xi, static_cast<std::int64_t>(v));
          if (most_bits_ < 62 && s.bits(xi) > most_bits_)
            return false;  // a word has at most 62 bits
          continue;
        }
      }
      wide::add_scaled(s, xi, yi, f, sign, &wide_y_);
      if (s.bits(xi) > most_bits_) return false;
    }
    return true;
  }

  // Column t -= f column p from row `from` on (the rows above are zero in
  // both), mirrored: beta the same, betinv row p += f row t.
  bool col_sub(std::int32_t t, std::int32_t p, std::int32_t from, const Factor& f) {
    if (!axpy(a_, idx(from, t), idx(from, p), static_cast<std::size_t>(rows_ - from), f, -1))
      return false;
    if (tx_.want[1] && !axpy(beta_, line(t), line(p), static_cast<std::size_t>(cols_), f, -1))
      return false;
    return !tx_.want[3] || axpy(betinv_, line(p), line(t), static_cast<std::size_t>(cols_), f, 1);
  }

  bool abs_less(std::size_t i, std::size_t j) const { return wide::abs_less_by_length(a_, i, j); }

  // intfindbest over columns i.., rows i..
  bool find_best(std::int32_t i, std::int32_t* pr, std::int32_t* pc) const {
    return least_flat_entry(a_, rows_, cols_, i, true, pr, pc);
  }

  const DenseTransforms& tx_;
};

}  // namespace

FlatMatrix::FlatMatrix(const bool* want, std::int32_t rows, std::int32_t cols)
    : want_(want),
      rows_(rows),
      cols_(cols),
      most_bits_(limb_bits * std::max(EntryBudget::limit(), 1)),
      a_(static_cast<std::size_t>(rows) * cols),
      beta_(want[1] ? static_cast<std::size_t>(cols) * cols : 0),
      betinv_(want[3] ? static_cast<std::size_t>(cols) * cols : 0) {}

Factor FlatMatrix::quotient(std::size_t x, std::size_t p, bool floor) {
  Factor f;
  if (!a_.is_big(x) && !a_.is_big(p)) {
    const std::int64_t n = a_.word(x), d = a_.word(p);
    f.w = n / d - (floor && n % d < 0 ? 1 : 0);
    return f;
  }
  if (!a_.is_big(p)) {
    // A long entry by a word: long division of the magnitudes, |x| = q |p| + r.
    const WideInt& xz = a_.big(x);
    const std::int64_t d = a_.word(p);
    WideInt& q = quotient_;
    const std::uint64_t r = xz.divide_word(wide::magnitude(d), &q);
    if (floor && xz.sign() < 0 && r != 0) q.add_magnitude(1, 1);
    if ((xz.sign() < 0) != (d < 0)) q.negate();
    f.big = !q.fits_word();
    if (f.big)
      f.z = q;
    else
      f.w = q.word();
    return f;
  }
  const ZInt n = a_.value(x), d = a_.value(p);
  ZInt q, r;
  ZInt::divmod(n, d, &q, &r);  // the floor for d > 0
  if (!floor && n.sign() < 0 && !r.is_zero()) q += d.sign();
  f.set(q);
  return f;
}

void FlatMatrix::start() {
  if (want_[0] || want_[2]) {
    order_.resize(static_cast<std::size_t>(rows_));
    for (std::int32_t r = 0; r < rows_; ++r) order_[static_cast<std::size_t>(r)] = r;
  }
  for (std::int32_t j = 0; j < cols_; ++j) {
    if (want_[1]) beta_.set(line(j) + static_cast<std::size_t>(j), 1);
    if (want_[3]) betinv_.set(line(j) + static_cast<std::size_t>(j), 1);
  }
}

void FlatMatrix::place(std::int32_t i, std::int32_t pr, std::int32_t pc) {
  if (pc != i) {
    for (std::int32_t r = i; r < rows_; ++r) a_.swap(idx(r, i), idx(r, pc));
    for (std::int32_t x = 0; x < cols_; ++x) {
      if (want_[1])
        beta_.swap(line(i) + static_cast<std::size_t>(x), line(pc) + static_cast<std::size_t>(x));
      if (want_[3])
        betinv_.swap(line(i) + static_cast<std::size_t>(x), line(pc) + static_cast<std::size_t>(x));
    }
  }
  if (pr != i) {
    for (std::int32_t c = 0; c < cols_; ++c) a_.swap(idx(i, c), idx(pr, c));
    if (!order_.empty())
      std::swap(order_[static_cast<std::size_t>(i)], order_[static_cast<std::size_t>(pr)]);
  }
  if (a_.sign(idx(i, i)) < 0) {
    for (std::int32_t r = i; r < rows_; ++r) a_.negate(idx(r, i));
    for (std::int32_t x = 0; x < cols_; ++x) {
      if (want_[1]) beta_.negate(line(i) + static_cast<std::size_t>(x));
      if (want_[3]) betinv_.negate(line(i) + static_cast<std::size_t>(x));
    }
  }
}

bool least_flat_entry(const wide::Store& a, std::int32_t rows, std::int32_t cols, std::int32_t i,
                      bool by_columns, std::int32_t* pr, std::int32_t* pc) {
  bool found = false;
  const std::int32_t outer = by_columns ? cols : rows, inner = by_columns ? rows : cols;
  for (std::int32_t u = i; u < outer; ++u)
    for (std::int32_t v = i; v < inner; ++v) {
      const std::int32_t r = by_columns ? v : u, c = by_columns ? u : v;
      const std::size_t x = static_cast<std::size_t>(c) * rows + r;
      if (a.zero(x)) continue;
      if (!a.is_big(x) && (a.word(x) == 1 || a.word(x) == -1)) {
        *pr = r;
        *pc = c;
        return true;
      }
      if (!found || wide::abs_less_by_length(a, x, static_cast<std::size_t>(*pc) * rows + *pr)) {
        found = true;
        *pr = r;
        *pc = c;
      }
    }
  return found;
}

FlatOutcome flat_intcolred(quolyptr n, arrptr q, const DenseTransforms& tx) {
  tx.start_identities();
  Elimination e(q, tx);
  const std::int32_t rank = e.run();
  if (rank < 0) return FlatOutcome::exceeded;
  e.write(q);
  quoly_set_integer(rank, n);
  return FlatOutcome::done;
}

}  // namespace tavrin
