#include "support/data_tables.h"

#include <gtest/gtest.h>

#include "toplevel/data_files.h"

namespace tavrin::test {

const std::string& load_data_tables() {
  static const std::string out = [] {
    testing::internal::CaptureStdout();
    initialize(TAVRIN_TEST_DATA_DIR);
    return testing::internal::GetCapturedStdout();
  }();
  return out;
}

}  // namespace tavrin::test
