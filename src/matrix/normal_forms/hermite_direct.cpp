// The Hermite form by an exact elimination (see hermite_modular.h): the
// first try of the bounded route, which answers most sparse matrices and
// small dense ones long before a determinant could be found.
//
// The rows are taken in order. Row i is reduced by column operations on the
// columns right of the pivots found so far: the entry of least absolute
// value becomes the pivot and every other entry of the row its remainder
// by it (nearest quotient), until only the pivot is left; the pivot is
// made positive and the entries left of it reduced into [0, pivot). A row
// with nothing right of the pivots so far is a rational combination of the
// rows before it: no later operation touches it, and it goes below the
// rank. The rows so ordered are those of the modular route, whose form
// given that order is unique, so both answer alike.
//
// Entries are words while below 2^62 and 64-bit limbs beyond. The attempt
// ends, and the modular route answers, when an entry passes a few Hadamard
// bounds of the minors it stands for (the entries are swelling), or when
// the work passes what the modular route would spend: a dense matrix
// swells slowly enough to cost more than that before it shows.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "core/interrupts.h"
#include "core/thresholds.h"
#include "matrix/normal_forms/hermite_direct.h"
#include "matrix/normal_forms/hermite_modular.h"
#include "matrix/normal_forms/wide_store.h"

namespace tavrin {

namespace {

// An entry may have swell_factor times the bits of the Hadamard bound of
// the minors of the pivot rows so far with one more row, plus 64.
constexpr double swell_factor = 4.0;
// The work allowed, in products of two limbs: work_per_cell times cols^2
// max(rows, cols) times the square of the longest entry's limbs, about
// what the modular route spends, plus work_floor (its cost for small
// matrices).
constexpr std::int64_t work_per_cell = 4;
constexpr std::int64_t work_floor = 15000;
// A matrix more than half filled is left to the modular route above this
// side, where its entries swell past the work allowed before they show.
constexpr std::int32_t dense_side = 20;

using wide::Factor;
using wide::magnitude;
using wide::Store;
using wide::u128;
using wide::WideInt;
using wide::word_limit;

// The matrix column by column and the right transform U column by column
// with its inverse row by row, so that every column operation walks
// contiguous entries.
class Elimination {
 public:
  Elimination(std::int32_t rows, std::int32_t cols, bool transforms)
      : r_(rows),
        c_(cols),
        transforms_(transforms),
        w_(static_cast<std::size_t>(r_) * c_),
        u_(transforms ? static_cast<std::size_t>(c_) * c_ : 0),
        uinv_(transforms ? static_cast<std::size_t>(c_) * c_ : 0) {
    for (std::int32_t j = 0; j < c_ && transforms_; ++j) {
      u_.set(line(j) + static_cast<std::size_t>(j), 1);
      uinv_.set(line(j) + static_cast<std::size_t>(j), 1);
    }
  }

  // Entry (i, j) of the matrix := v (|v| < 2^62 for a word).
  void set(std::int32_t i, std::int32_t j, std::int64_t v) { w_.set(idx(i, j), v); }
  void set(std::int32_t i, std::int32_t j, const ZInt& v) { w_.set(idx(i, j), v); }

  // Runs the elimination; false when it was given up.
  bool run(std::vector<std::int32_t>* pivot_rows, std::vector<std::int32_t>* other_rows) {
    measure();
    std::int32_t k = 0;
    double longest = 0.0, minors = 0.0;
    for (double b : row_bits_) longest = std::max(longest, b);
    for (std::int32_t i = 0; i < r_; ++i) {
      check_interrupt();
      // The entries now are near minors of the pivot rows with one more
      // row: a few of their Hadamard bounds.
      budget_ = static_cast<std::int64_t>(swell_factor * (minors + longest)) + 64;
      if (k == c_ || !pivot_row(i, k)) {
        other_rows->push_back(i);
        continue;
      }
      if (given_up_) return false;
      pivot_rows->push_back(i);
      minors += row_bits_[static_cast<std::size_t>(i)];
      ++k;
    }
    return !given_up_;
  }

  // The store of a part and the place of its entry (i, j) (the matrix by
  // its own rows).
  const Store& store(DirectHermite::Part p) const {
    return p == DirectHermite::form ? w_ : p == DirectHermite::right ? u_ : uinv_;
  }
  std::int32_t rows() const { return r_; }
  std::int32_t cols() const { return c_; }
  std::size_t place(DirectHermite::Part p, std::int32_t i, std::int32_t j) const {
    if (p == DirectHermite::form) return idx(i, j);
    return p == DirectHermite::right ? line(j) + static_cast<std::size_t>(i)
                                     : line(i) + static_cast<std::size_t>(j);
  }

 private:
  // The log2 of each row's Euclidean norm (0 for a zero row) and the work
  // allowed, from the entries' bit lengths.
  void measure() {
    std::int64_t longest = 0;
    row_bits_.assign(static_cast<std::size_t>(r_), 0.0);
    for (std::int32_t i = 0; i < r_; ++i) {
      double top = 0.0;
      for (std::int32_t j = 0; j < c_; ++j)
        top = std::max(top, static_cast<double>(w_.bits(idx(i, j))));
      longest = std::max(longest, static_cast<std::int64_t>(top));
      if (top == 0.0) continue;
      double sum = 0.0;
      for (std::int32_t j = 0; j < c_; ++j)
        if (!w_.zero(idx(i, j)))
          sum += std::exp2(2.0 * (static_cast<double>(w_.bits(idx(i, j))) - top));
      row_bits_[static_cast<std::size_t>(i)] = top + 0.5 * std::log2(sum);
    }
    const std::int64_t limbs = std::max<std::int64_t>(1, (longest + 63) / 64);
    work_limit_ = work_floor + work_per_cell * c_ * c_ * std::max(r_, c_) * limbs * limbs;
  }

  std::size_t idx(std::int32_t i, std::int32_t j) const {
    return static_cast<std::size_t>(j) * r_ + i;
  }
  std::size_t line(std::int32_t j) const { return static_cast<std::size_t>(j) * c_; }

  // s[x + t] += sign * f * s[y + t] for t < n (sign +-1): words in place
  // while the sum stays one, limbs beyond.
  void axpy(Store& s, std::size_t x, std::size_t y, std::size_t n, const Factor& f, int sign) {
    std::int64_t* wx = s.words() + x;
    const std::int64_t* wy = s.words() + y;
    const std::int64_t fw = f.big ? 0 : sign * f.w;  // |f.w| <= 2^62
    if (!f.big && n >= static_cast<std::size_t>(normal_form_word_column) &&
        words_only(wx, wy, n, fw)) {
      // Every sum stays a word: no test per entry.
      std::int64_t nonzero = 0;
      for (std::size_t t = 0; t < n; ++t) {
        wx[t] += fw * wy[t];
        nonzero += wy[t] != 0 ? 1 : 0;
      }
      work_ += nonzero;
      return;
    }
    for (std::size_t t = 0; t < n; ++t) {
      const std::int64_t yv = wy[t];
      if (yv == 0) continue;
      ++work_;
      const std::int64_t xv = wx[t];
      if (!f.big && xv >= -word_limit && yv >= -word_limit) {  // neither marks a long entry
        const __int128 v = static_cast<__int128>(xv) + static_cast<__int128>(fw) * yv;
        if (v < word_limit && v > -word_limit) {
          wx[t] = static_cast<std::int64_t>(v);
          continue;
        }
      }
      add_long(s, x + t, y + t, f, sign);
    }
  }

  // Whether |x[t]| + |fw| |y[t]| < 2^62 for every t < n, from the largest
  // of each (a long entry's mark is below -2^62, so it fails the test).
  static bool words_only(const std::int64_t* x, const std::int64_t* y, std::size_t n,
                         std::int64_t fw) {
    auto magnitude = [](std::int64_t v) {
      return v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    };
    std::uint64_t mx = 0, my = 0;
    for (std::size_t t = 0; t < n; ++t) {
      mx = std::max(mx, magnitude(x[t]));
      my = std::max(my, magnitude(y[t]));
    }
    constexpr auto limit = static_cast<std::uint64_t>(word_limit) - 1;
    return mx <= limit && my <= limit && (my == 0 || magnitude(fw) <= (limit - mx) / my);
  }

  // s[xi] += sign * f * s[yi] in place on the limbs: in 128 bits for a word
  // factor and entry and s[xi] of at most normal_form_wide_bits bits.
  void add_long(Store& s, std::size_t xi, std::size_t yi, const Factor& f, int sign) {
    __int128 xv = 0;
    const std::int64_t most = std::min(normal_form_wide_bits, 125);
    if (most > 0 && !f.big && !s.is_big(yi) &&
        (s.is_big(xi) ? s.big(xi).small(most, &xv) : (xv = s.word(xi), true))) {
      const __int128 v = xv + static_cast<__int128>(sign * f.w) * s.word(yi);
      work_ += f.w != 0 ? 1 : 0;  // one limb by one
      if (v < word_limit && v > -word_limit) {
        s.set(xi, static_cast<std::int64_t>(v));
        return;
      }
      WideInt& l = s.make_big(xi);
      l.assign_wide(v);
      if (l.bits() > budget_) given_up_ = true;
      return;
    }
    if (!f.big && !s.is_big(yi) && s.is_big(xi)) {
      // A long entry and a product of two words: added in place.
      const std::int64_t yv = s.word(yi), fw = sign * f.w;
      const u128 m = static_cast<u128>(magnitude(fw)) * magnitude(yv);
      work_ += m != 0 ? 1 : 0;
      WideInt& v = s.make_big(xi);
      v.add_magnitude(m, (fw < 0) != (yv < 0) ? -1 : 1);
      if (v.bits() > budget_) given_up_ = true;
      s.settle(xi);
      return;
    }
    if (!f.big && s.is_big(yi)) {
      // A word factor and a long entry: one pass, no product.
      const WideInt& yz = s.big(yi);
      work_ += f.w != 0 ? static_cast<std::int64_t>(yz.size()) : 0;
      WideInt& v = s.make_big(xi);
      v.add_word_times(yz, sign * f.w);
      if (v.bits() > budget_) given_up_ = true;
      s.settle(xi);
      return;
    }
    const WideInt& fz = f.big ? f.z : (f_.assign(f.w), f_);
    const WideInt& yz = s.is_big(yi) ? s.big(yi) : (y_.assign(s.word(yi)), y_);
    work_ += static_cast<std::int64_t>(fz.size() * yz.size());
    WideInt& v = s.make_big(xi);
    v.add_product(fz, yz, sign < 0);
    if (v.bits() > budget_) given_up_ = true;
    s.settle(xi);
  }

  // Column j -= f column k (U likewise; U^-1: row k += f row j). Column k
  // is zero above row `from` (the rows before the pivot row are done).
  void col_sub(std::int32_t j, std::int32_t k, std::int32_t from, const Factor& f) {
    axpy(w_, idx(from, j), idx(from, k), static_cast<std::size_t>(r_ - from), f, -1);
    if (transforms_) {
      axpy(u_, line(j), line(k), static_cast<std::size_t>(c_), f, -1);
      axpy(uinv_, line(k), line(j), static_cast<std::size_t>(c_), f, 1);
    }
    if (work_ > work_limit_) given_up_ = true;
  }

  // Columns j and k (both zero above row `from`) exchanged.
  void swap_cols(std::int32_t j, std::int32_t k, std::int32_t from) {
    if (j == k) return;
    for (std::int32_t t = from; t < r_; ++t) w_.swap(idx(t, j), idx(t, k));
    for (std::int32_t t = 0; t < c_ && transforms_; ++t) {
      u_.swap(line(j) + static_cast<std::size_t>(t), line(k) + static_cast<std::size_t>(t));
      uinv_.swap(line(j) + static_cast<std::size_t>(t), line(k) + static_cast<std::size_t>(t));
    }
  }

  void negate_col(std::int32_t k, std::int32_t from) {
    for (std::int32_t t = from; t < r_; ++t) w_.negate(idx(t, k));
    for (std::int32_t t = 0; t < c_ && transforms_; ++t) {
      u_.negate(line(k) + static_cast<std::size_t>(t));
      uinv_.negate(line(k) + static_cast<std::size_t>(t));
    }
  }

  // The quotient of entry x by the pivot p: nearest (remainder in
  // (-|p|/2, |p|/2]) or, with floor, the floor (p > 0).
  Factor quotient(std::size_t x, std::size_t p, bool floor) const {
    Factor f;
    if (!w_.is_big(x) && !w_.is_big(p)) {
      const std::int64_t a = w_.word(x), d = w_.word(p);
      std::int64_t q = a / d;
      const std::int64_t rem = a % d;
      if (floor) {
        if (rem < 0) --q;
      } else if (2 * std::abs(rem) > std::abs(d)) {
        q += (rem < 0) == (d < 0) ? 1 : -1;
      }
      f.w = q;
      return f;
    }
    if (estimated_quotient(x, p, floor, &f)) return f;
    if (normal_form_quotient_bits > 0 && word_divisor_quotient(x, p, floor, &f)) return f;
    const ZInt d = w_.value(p);
    ZInt q, rem;
    ZInt::divmod(w_.value(x), d, &q, &rem);
    if (!floor && compare_abs(rem + rem, d) > 0) q = d.sign() > 0 ? q + ZInt(1) : q - ZInt(1);
    f.set(q);
    return f;
  }

  // The quotient of quotient() for an entry or pivot in limbs, from a long
  // double estimate corrected by the exact remainder: x = q p + r with 0 <=
  // r < |p| (one more step by p's sign when 2 r > |p|), as the division of
  // the ZInts gives it. False when the estimate reaches 2^normal_form_
  // quotient_bits (at most 40: the estimate is then off by at most one).
  bool estimated_quotient(std::size_t x, std::size_t p, bool floor, Factor* f) const {
    const WideInt& xz = w_.is_big(x) ? w_.big(x) : (qx_.assign(w_.word(x)), qx_);
    const WideInt& pz = w_.is_big(p) ? w_.big(p) : (qp_.assign(w_.word(p)), qp_);
    std::int64_t dx = 0, dp = 0;
    long double e = xz.approx(&dx) / pz.approx(&dp);
    if (dx - dp > 1) return false;  // a quotient of 2^64 and more
    if (dx != dp) e = dx > dp ? e * 0x1p64L : e * 0x1p-64L;
    if (dx + 1 < dp) e = 0.0L;  // below 2^-64
    if (!(std::fabs(e) <
          static_cast<long double>(std::int64_t{1} << std::min(normal_form_quotient_bits, 40))))
      return false;
    auto q = static_cast<std::int64_t>(std::floor(e));
    const int sp = pz.sign();
    WideInt& r = qr_;
    r = xz;
    qf_.assign(q);
    r.add_product(qf_, pz, true);
    qf_.assign(1);
    for (; r.sign() < 0; q -= sp) r.add_product(pz, qf_, sp < 0);             // r += |p|
    for (; compare_abs(r, pz) >= 0; q += sp) r.add_product(pz, qf_, sp > 0);  // r -= |p|
    if (!floor && r.sign() != 0) {
      qf_.assign(2);
      qx_.assign(0);
      qx_.add_product(r, qf_, false);
      if (compare_abs(qx_, pz) > 0) q += sp;
    }
    f->big = false;
    f->w = q;
    return true;
  }

  // The quotient of quotient() by long division when the pivot p fits a
  // 64-bit limb: x = q p + r with 0 <= r < |p|, then one more step by p's
  // sign when 2 r > |p|, as the division of the ZInts gives it. False for a
  // longer pivot.
  bool word_divisor_quotient(std::size_t x, std::size_t p, bool floor, Factor* f) const {
    const WideInt& pz = w_.is_big(p) ? w_.big(p) : (qp_.assign(w_.word(p)), qp_);
    if (pz.size() != 1) return false;
    const WideInt& xz = w_.is_big(x) ? w_.big(x) : (qx_.assign(w_.word(x)), qx_);
    const std::uint64_t d = pz.low();
    const int sp = pz.sign();
    WideInt& q = qr_;
    std::uint64_t r = xz.divide_word(d, &q);
    qf_.assign(1);
    if (xz.sign() < 0 && r != 0) {
      q.add_product(qf_, qf_, false);  // |q| + 1
      r = d - r;
    }
    if (xz.sign() * sp < 0) q.negate();
    if (!floor && r > d - r) q.add_product(qf_, qf_, sp < 0);  // q + sign(p)
    f->big = !q.fits_word();
    if (f->big)
      f->z = q;
    else
      f->w = q.word();
    return true;
  }

  // Row i's pivot into column k (true), or false when the row is zero from
  // column k on.
  bool pivot_row(std::int32_t i, std::int32_t k) {
    for (;;) {
      std::int32_t best = -1;
      for (std::int32_t j = k; j < c_; ++j)
        if (!w_.zero(idx(i, j)) && (best < 0 || w_.abs_less(idx(i, j), idx(i, best)))) best = j;
      if (best < 0) return false;
      swap_cols(k, best, i);
      bool left = false;
      for (std::int32_t j = k + 1; j < c_; ++j) {
        if (w_.zero(idx(i, j))) continue;
        col_sub(j, k, i, quotient(idx(i, j), idx(i, k), false));
        if (given_up_) return true;
        left = left || !w_.zero(idx(i, j));
      }
      if (!left) break;
    }
    if (w_.sign(idx(i, k)) < 0) negate_col(k, i);
    for (std::int32_t j = 0; j < k; ++j) {
      if (w_.zero(idx(i, j))) continue;
      const Factor q = quotient(idx(i, j), idx(i, k), true);
      if (!q.zero()) col_sub(j, k, i, q);
      if (given_up_) return true;
    }
    return true;
  }

  std::int32_t r_, c_;
  bool transforms_;
  std::vector<double> row_bits_;
  std::int64_t work_limit_ = 0;
  std::int64_t budget_ = 0;
  std::int64_t work_ = 0;
  bool given_up_ = false;
  Store w_, u_, uinv_;
  WideInt f_, y_;                      // word operands of the steps in limbs
  mutable WideInt qx_, qp_, qr_, qf_;  // the work of estimated_quotient
};

}  // namespace

struct DirectHermite::Impl {
  Elimination e;
  std::vector<std::int32_t> order;
  std::int32_t rank = 0;
};

DirectHermite::DirectHermite(std::int32_t rows, std::int32_t cols, bool transforms)
    : impl_(std::make_unique<Impl>(Impl{Elimination(rows, cols, transforms), {}, 0})) {}

DirectHermite::~DirectHermite() = default;

void DirectHermite::set(std::int32_t i, std::int32_t j, std::int64_t v) { impl_->e.set(i, j, v); }

void DirectHermite::set(std::int32_t i, std::int32_t j, const ZInt& v) { impl_->e.set(i, j, v); }

bool DirectHermite::worth_trying(std::int32_t rows, std::int32_t cols, std::int64_t filled,
                                 bool transforms) {
  // A dense matrix swells past the work the modular route needs above
  // dense_side, and a wide one's transform (its kernel columns) at once.
  return 2 * filled <= std::int64_t{rows} * cols ||
         (std::min(rows, cols) <= dense_side && !(transforms && cols > rows));
}

bool DirectHermite::run() {
  std::vector<std::int32_t> others;
  if (!impl_->e.run(&impl_->order, &others)) return false;
  impl_->rank = static_cast<std::int32_t>(impl_->order.size());
  impl_->order.insert(impl_->order.end(), others.begin(), others.end());
  return true;
}

std::int32_t DirectHermite::rank() const { return impl_->rank; }

const std::vector<std::int32_t>& DirectHermite::order() const { return impl_->order; }

void DirectHermite::words(Part p, std::int32_t k, bool by_row, std::int64_t* out) const {
  const Store& s = impl_->e.store(p);
  const std::int32_t n = by_row ? impl_->e.cols() : p == form ? impl_->e.rows() : impl_->e.cols();
  for (std::int32_t t = 0; t < n; ++t) {
    std::int32_t i = by_row ? k : t, j = by_row ? t : k;
    if (p == form) i = impl_->order[static_cast<std::size_t>(i)];
    const std::size_t x = impl_->e.place(p, i, j);
    out[t] = s.is_big(x) ? big_entry : s.word(x);
  }
}

ZInt DirectHermite::value(Part p, std::int32_t i, std::int32_t j) const {
  if (p == form) i = impl_->order[static_cast<std::size_t>(i)];
  return impl_->e.store(p).value(impl_->e.place(p, i, j));
}

void DirectHermite::store(Part p, std::int32_t i, std::int32_t j, imptr x) const {
  if (p == form) i = impl_->order[static_cast<std::size_t>(i)];
  const Store& s = impl_->e.store(p);
  const std::size_t at = impl_->e.place(p, i, j);
  if (!s.is_big(at)) {
    ZInt::store_word(s.word(at), x);
    return;
  }
  thread_local std::vector<std::uint32_t> digits;
  s.big(at).to_digits(&digits);
  ZInt::store_digits(digits.data(), static_cast<std::int32_t>(digits.size()), s.big(at).sign(), x);
}

std::int64_t DirectHermite::long_bits(Part p) const { return impl_->e.store(p).long_bits(); }

bool hermite_direct(const ZMatrix& a, bool transforms, FormResult* out) {
  std::int64_t filled = 0;
  for (const ZInt& x : a.cell) filled += x.is_zero() ? 0 : 1;
  if (!DirectHermite::worth_trying(a.rows, a.cols, filled, transforms)) return false;
  DirectHermite d(a.rows, a.cols, transforms);
  for (std::int32_t i = 0; i < a.rows; ++i)
    for (std::int32_t j = 0; j < a.cols; ++j)
      if (!a.at(i, j).is_zero()) d.set(i, j, a.at(i, j));
  if (!d.run()) return false;
  const std::int32_t rows = a.rows, cols = a.cols;
  out->rank = d.rank();
  out->order = d.order();
  out->form = ZMatrix(rows, cols);
  for (std::int32_t i = 0; i < rows; ++i)
    for (std::int32_t j = 0; j < cols; ++j) out->form.at(i, j) = d.value(DirectHermite::form, i, j);
  if (!transforms) return true;
  out->left = ZMatrix(rows, rows);
  out->left_inv = ZMatrix(rows, rows);
  for (std::int32_t i = 0; i < rows; ++i) {
    out->left.at(i, out->order[static_cast<std::size_t>(i)]) = 1;
    out->left_inv.at(out->order[static_cast<std::size_t>(i)], i) = 1;
  }
  out->right = ZMatrix(cols, cols);
  out->right_inv = ZMatrix(cols, cols);
  for (std::int32_t i = 0; i < cols; ++i)
    for (std::int32_t j = 0; j < cols; ++j) {
      out->right.at(i, j) = d.value(DirectHermite::right, i, j);
      out->right_inv.at(i, j) = d.value(DirectHermite::right_inv, i, j);
    }
  return true;
}

}  // namespace tavrin
