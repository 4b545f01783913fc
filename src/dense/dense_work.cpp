// The stack of work arrays of the recursive dense-array routines.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "dense/dense_arrays.h"
#include "dense/dense_impl.h"

namespace tavrin::dense_detail {

namespace {

// Every work array ever needed, bottom of the stack first; kept for the run.
std::vector<std::unique_ptr<std::int32_t[]>>& work_stack() {
  static std::vector<std::unique_ptr<std::int32_t[]>> arrays;
  return arrays;
}
std::size_t work_top = 0;  // arrays in use

}  // namespace

WorkArrays::WorkArrays(int count) : count_(count) {
  auto& arrays = work_stack();
  const std::size_t need = work_top + static_cast<std::size_t>(count);
  while (arrays.size() < need) arrays.push_back(std::make_unique<std::int32_t[]>(gcd_array_size));
  for (int k = 0; k < count; ++k) arrays_[k] = arrays[work_top + static_cast<std::size_t>(k)].get();
  work_top = need;
}

WorkArrays::~WorkArrays() { work_top -= static_cast<std::size_t>(count_); }

}  // namespace tavrin::dense_detail
