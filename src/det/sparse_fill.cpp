// The fill-in of a sparse elimination on the pattern (see sparse_fill.h).
#include "det/sparse_fill.h"

#include <bit>
#include <cstdint>
#include <vector>

#include "arrays/sparse_store.h"

namespace tavrin {

namespace {

// Rows and columns of the active pattern as bit sets, with their counts.
class Pattern {
 public:
  Pattern(sparseptr sp, std::int32_t m)
      : m_(m),
        words_((static_cast<std::size_t>(m) + 63) / 64),
        rows_(m * words_),
        cols_(m * words_),
        row_count_(m),
        col_count_(m),
        col_live_(m, true) {
    for (std::int32_t r = 0; r < m; ++r)
      for (colm_ptr e = *sparse_row(sp, r + 1); e != nullptr; e = e->next)
        if (e->coord >= 1 && e->coord <= m) add(r, e->coord - 1);
  }

  // The live column of fewest entries (-1: none left, or one empty).
  std::int32_t pivot_column() const {
    std::int32_t best = -1;
    for (std::int32_t c = 0; c < m_; ++c) {
      if (!col_live_[c]) continue;
      if (col_count_[c] == 0) return -1;
      if (best < 0 || col_count_[c] < col_count_[best]) best = c;
      if (col_count_[best] == 1) break;
    }
    return best;
  }

  // The row of fewest entries among those of column c.
  std::int32_t pivot_row(std::int32_t c) const {
    std::int32_t best = -1;
    each(col(c), [&](std::int32_t r) {
      if (best < 0 || row_count_[r] < row_count_[best]) best = r;
    });
    return best;
  }

  // Eliminates column c with row r; the multiply-adds it makes.
  std::int64_t eliminate(std::int32_t r, std::int32_t c) {
    const std::int64_t hit = col_count_[c] - 1;
    const std::int64_t work = hit * (row_count_[r] - 1);
    const std::uint64_t* pivot = row(r);
    each(col(c), [&](std::int32_t s) {
      if (s == r) return;
      std::uint64_t* target = row(s);
      for (std::size_t w = 0; w < words_; ++w) {
        std::uint64_t fresh = pivot[w] & ~target[w];
        while (fresh != 0) {
          add(s, static_cast<std::int32_t>(w * 64 + std::countr_zero(fresh)));
          fresh &= fresh - 1;
        }
      }
    });
    // Row r and column c leave the active pattern.
    each(row(r), [&](std::int32_t j) { drop(r, j); });
    each(col(c), [&](std::int32_t s) { drop(s, c); });
    col_live_[c] = false;
    return work;
  }

 private:
  std::uint64_t* row(std::int32_t r) { return &rows_[r * words_]; }
  const std::uint64_t* col(std::int32_t c) const { return &cols_[c * words_]; }

  void add(std::int32_t r, std::int32_t c) {
    std::uint64_t& b = rows_[r * words_ + c / 64];
    const std::uint64_t bit = std::uint64_t{1} << (c % 64);
    if ((b & bit) != 0) return;
    b |= bit;
    cols_[c * words_ + r / 64] |= std::uint64_t{1} << (r % 64);
    ++row_count_[r];
    ++col_count_[c];
  }
  void drop(std::int32_t r, std::int32_t c) {
    std::uint64_t& b = rows_[r * words_ + c / 64];
    const std::uint64_t bit = std::uint64_t{1} << (c % 64);
    if ((b & bit) == 0) return;
    b &= ~bit;
    cols_[c * words_ + r / 64] &= ~(std::uint64_t{1} << (r % 64));
    --row_count_[r];
    --col_count_[c];
  }
  // f(k) for each bit k of the set at bits, read word by word before f runs
  // on it (f may clear the bits it is given).
  template <class F>
  void each(const std::uint64_t* bits, F f) const {
    for (std::size_t w = 0; w < words_; ++w) {
      std::uint64_t b = bits[w];
      while (b != 0) {
        f(static_cast<std::int32_t>(w * 64 + std::countr_zero(b)));
        b &= b - 1;
      }
    }
  }

  std::int32_t m_;
  std::size_t words_;
  std::vector<std::uint64_t> rows_, cols_;
  std::vector<std::int64_t> row_count_, col_count_;
  std::vector<bool> col_live_;
};

}  // namespace

std::int64_t sparse_elimination_work(sparseptr sp, std::int32_t m, std::int64_t limit) {
  Pattern pattern(sp, m);
  std::int64_t work = 0;
  for (std::int32_t step = 1; step < m && work <= limit; ++step) {
    const std::int32_t c = pattern.pivot_column();
    if (c < 0) break;
    work += step * pattern.eliminate(pattern.pivot_row(c), c);
  }
  return work;
}

}  // namespace tavrin
