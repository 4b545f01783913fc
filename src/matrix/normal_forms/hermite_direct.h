// The exact elimination of the Hermite form (hermite_direct in
// hermite_modular.h) fed entry by entry and read entry by entry, so that a
// caller holding the matrix in cells goes without ZMatrix copies: entries
// are words while below 2^62 in absolute value and limbs beyond, and a
// result entry comes back as its word, or as a ZInt only past one.
//
// The results are those of hermite_direct on the same matrix: the form
// with its rows in order() (the rank() pivot rows first), U and U^-1 when
// transforms were asked for (P is the permutation of order()).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "numbers/zint.h"

namespace tavrin {

class DirectHermite {
 public:
  enum Part { form, right, right_inv };                 // H, U, U^-1
  static constexpr std::int64_t big_entry = INT64_MIN;  // word(): the entry is past a word

  // A rows x cols matrix of zeros; transforms: U and U^-1 are kept.
  DirectHermite(std::int32_t rows, std::int32_t cols, bool transforms);
  ~DirectHermite();
  DirectHermite(const DirectHermite&) = delete;
  DirectHermite& operator=(const DirectHermite&) = delete;

  // Entry (i, j) := v (from 0). The word: |v| < 2^62.
  void set(std::int32_t i, std::int32_t j, std::int64_t v);
  void set(std::int32_t i, std::int32_t j, const ZInt& v);

  // Whether the elimination is tried on a matrix with `filled` non-zero
  // entries: a dense one swells past the work of the modular route above a
  // small side, and a dense wide one's transform (its kernel columns) at
  // once.
  static bool worth_trying(std::int32_t rows, std::int32_t cols, std::int64_t filled,
                           bool transforms);

  // Runs the elimination; false when it was given up (nothing to use).
  bool run();
  std::int32_t rank() const;
  // Row i of the form is row order()[i] of the matrix.
  const std::vector<std::int32_t>& order() const;

  // Row (by_row) or column k of a part (after run) into out: each entry's
  // word, or big_entry past one.
  void words(Part p, std::int32_t k, bool by_row, std::int64_t* out) const;
  ZInt value(Part p, std::int32_t i, std::int32_t j) const;
  // x := entry (i, j) of a part (after run), x's old limbs freed.
  void store(Part p, std::int32_t i, std::int32_t j, imptr x) const;
  // The bits of the part's longest entry past a word (0: none).
  std::int64_t long_bits(Part p) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tavrin
