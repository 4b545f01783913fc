// Folder-private helpers of the matrix products: the accumulator of one
// result entry, in the way of summing the operands allow.
#pragma once

#include <cstdint>

#include "core/records.h"

namespace tavrin::detail {

// How the sum of products of one entry is formed. Every way gives the value
// the general way gives:
//   general: quoly_mult, then best_quoly_add (zero products dropped);
//   bigint:  all operands integers in big-integer arithmetic: products of
//            operands of at most two limbs summed in 128 bits (moved into
//            the big sum every 2^13 terms), longer ones by fast_mult into a
//            scratch number and fastsum into the big sum (no value nodes);
//   word:    all operands numbers in word mode (modular residues summed in
//            128 bits and reduced once, field products xor-ed, plain words
//            wrapped in 32 bits) or floating numbers under integerflag (long
//            double sum).
enum class sum_way { general, bigint, word };

// The way for operands that are all numbers (allnumbs) or not.
// reads: mode flags, integerflag
sum_way choose_sum_way(bool allnumbs);

// The sum of products a*b of one result entry. Holds scratch numbers and a
// partial sum, freed on every exit.
class EntrySum {
 public:
  EntrySum() = default;
  explicit EntrySum(sum_way w) : way_(w) {}
  ~EntrySum();
  EntrySum(EntrySum&& o) noexcept;
  EntrySum(const EntrySum&) = delete;
  EntrySum& operator=(const EntrySum&) = delete;
  void set_way(sum_way w) { way_ = w; }

  // sum += a * b; a and b kept (nil counts as 0).
  void add(quoly a, quoly b);
  // Whether a product was added since the last take.
  bool touched() const { return touched_; }
  // The sum as a fresh value, nil when it is 0; the sum starts again at 0.
  quoly take();

 private:
  void open_big();
  void spill_small();
  sum_way way_ = sum_way::general;
  bool touched_ = false;
  quoly sum_ = nullptr;   // general
  imptr acc_ = nullptr;   // bigint: the sum
  imptr prod_ = nullptr;  // bigint: one product
  __int128 small_ = 0;    // bigint: the sum of the short products
  std::int32_t small_terms_ = 0;
  long double fsum_ = 0;        // word, floating
  unsigned __int128 msum_ = 0;  // word, modular (not characteristic 2)
  std::uint32_t wsum_ = 0;      // word, plain words and characteristic 2
};

}  // namespace tavrin::detail
