// A row of value cells held for a scope by the matrix and determinant
// routines: copies of a matrix's cells, or intermediate values.
#pragma once

#include <cstddef>
#include <vector>

#include "core/records.h"
#include "numbers/freelists.h"

namespace tavrin {

// n value cells, nil at first; every cell still set is freed (free_quoly)
// when the scope ends, an unwinding error included.
struct OwnedCells {
  std::vector<quoly> cell;
  explicit OwnedCells(std::size_t n) : cell(n, nullptr) {}
  ~OwnedCells() {
    for (quoly& v : cell) free_quoly(&v);
  }
  OwnedCells(const OwnedCells&) = delete;
  OwnedCells& operator=(const OwnedCells&) = delete;
};

}  // namespace tavrin
