// Keeping the matrix that a built-in changes in place. The normal forms, the
// row reductions, fraction-free LU, sorting, reversal, transposition and the
// set operations overwrite their operand step by step; an error or an
// interrupt abandoned with "&@" would leave it half changed. The keeper
// holds a copy of the operand while the built-in runs: when the built-in
// returns the copy is dropped, and when the built-in is abandoned (an
// exception unwinds through the keeper) the copy is put back, so the user's
// matrix is as it was before the statement.
//
// The array is found again by its name and creation stamp when the copy is
// put back: an array that a nested command level cancelled meanwhile is left
// alone (and the copy freed); what the level wrote into the array itself is
// undone with the rest.
#pragma once

#include <cstdint>
#include <vector>

#include <utility>

#include "core/records.h"

namespace tavrin {

// For a built-in that reads the stored array q without changing it: while
// the guard lives, the stored integers of q that lie outside the residues
// of the modular ring (counts, positions) read as their images. Dense cells
// take their images in place and get their old words back at the end; a
// sparse operand is replaced by a settled copy (entries whose image is 0
// removed) and gets its own frames back. The array is found again by name
// and stamp: a nested command level may have changed or cancelled it.
class SettledIntegers {
 public:
  SettledIntegers() = default;
  explicit SettledIntegers(arrptr q) { settle(q); }
  ~SettledIntegers();
  SettledIntegers(const SettledIntegers&) = delete;
  SettledIntegers& operator=(const SettledIntegers&) = delete;
  // Settles q; a guard settles one array.
  // reads: modularmode, flotemode, modulus, finf
  void settle(arrptr q);

 private:
  bool held_ = false;
  tokentipe name_{};
  std::int32_t time_ = 0;
  std::vector<std::pair<imptr, std::int32_t>> words_;  // dense: old words
  sparseptr own_ = nullptr;                            // sparse: the array's frames, set aside
  sparseptr copy_ = nullptr;                           // sparse: the settled copy standing in
  std::int32_t rows_ = 0;
};

class OperandKeeper {
 public:
  // An inactive keeper (the built-in does not change its operand) keeps
  // nothing.
  explicit OperandKeeper(bool active) : active_(active) {}
  ~OperandKeeper();
  OperandKeeper(const OperandKeeper&) = delete;
  OperandKeeper& operator=(const OperandKeeper&) = delete;

  // Copies the whole array q (its cells, or its sparse frames with their
  // entries) unless the keeper is inactive or already holds a copy.
  // reads: mode flags (the values are copied as they are held)
  void keep(arrptr q);

  // The built-in has returned: the copy is freed.
  void commit();

  // The stored integers of the operand q take their images (in modular
  // arithmetic a count or a position may lie outside the residues, and the
  // engines read residues): for good when the built-in changes q (the kept
  // copy holds the integers), otherwise until the keeper ends.
  void settle_integers(arrptr q);

 private:
  void drop();
  void put_back();

  bool active_;
  bool held_ = false;
  tokentipe name_{};
  std::int32_t time_ = 0, start_ = 0, stop_ = 0, rows_ = 0;
  std::vector<quoly> cells_;   // a dense operand's cells
  sparseptr spar_ = nullptr;   // a sparse operand's frames
  Boolean modmode_ = false;    // of its first frame
  SettledIntegers read_only_;  // a read-only operand's integers
};

}  // namespace tavrin
