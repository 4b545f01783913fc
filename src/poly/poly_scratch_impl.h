// Scratch records with guaranteed release, for the routines of poly/ that
// can be left by an error unwind. Private to poly/.
#pragma once

#include "core/records.h"
#include "numbers/freelists.h"

namespace tavrin::detail {

// A number header for intermediate values: its limbs (whatever the mode)
// and the header go back on every exit.
class ScratchNumber {
 public:
  ScratchNumber() { newimag(&n_); }
  ~ScratchNumber() {
    special_free(n_);
    free_imag(&n_);
  }
  ScratchNumber(const ScratchNumber&) = delete;
  ScratchNumber& operator=(const ScratchNumber&) = delete;
  imptr get() const { return n_; }

 private:
  imptr n_ = nullptr;
};

// A polynomial under construction, freed on every exit unless released to
// the caller.
class OwnedPoly {
 public:
  OwnedPoly() = default;
  ~OwnedPoly() { free_poly(&p); }
  OwnedPoly(const OwnedPoly&) = delete;
  OwnedPoly& operator=(const OwnedPoly&) = delete;
  poly get() const { return p; }
  poly* cell() { return &p; }
  poly release() {
    poly r = p;
    p = nullptr;
    return r;
  }
  poly p = nullptr;
};

}  // namespace tavrin::detail
