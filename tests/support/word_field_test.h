// Tests run once for each word modulus of their parameter (a prime, or 256
// / 65536 for the fields of characteristic 2): the ring set for the test's
// lifetime and the test-side field beside it.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>

#include "support/dense_ref.h"
#include "support/modulus_scope.h"

namespace tavrin::test {

class WordFieldTest : public ::testing::TestWithParam<std::int32_t> {
 protected:
  const std::int32_t p = GetParam();  // the modulus
  ModulusScope scope{p};
  const RefField f{p};
};

}  // namespace tavrin::test
