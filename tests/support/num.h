// An owning handle on a Tavrin number for tests.
#pragma once

#include "numbers/freelists.h"
#include "support/bigref.h"

namespace tavrin::test {

class Num {
 public:
  Num() { newimag(&p_); }
  explicit Num(const BigRef& v) : p_(from_ref(v)) {}
  explicit Num(std::int64_t v) : Num(BigRef(v)) {}
  ~Num() { free_imag(&p_); }
  Num(const Num&) = delete;
  Num& operator=(const Num&) = delete;

  imptr get() const { return p_; }
  imptr operator->() const { return p_; }
  operator imptr() const { return p_; }  // NOLINT: pass straight to the API
  BigRef value() const { return to_ref(p_); }

 private:
  imptr p_ = nullptr;
};

}  // namespace tavrin::test
