// Bases for objects that stand for a place in the running code (a guard, a
// marker, a count of open sections): a copy would undo or count twice.
#pragma once

namespace tavrin {

struct NoCopy {
  NoCopy() = default;
  NoCopy(const NoCopy&) = delete;
  NoCopy& operator=(const NoCopy&) = delete;
};

// Counts one open section in `Counter` for its lifetime.
template <int& Counter>
class ScopedCount : NoCopy {
 public:
  ScopedCount() { ++Counter; }
  ~ScopedCount() { --Counter; }
};

}  // namespace tavrin
