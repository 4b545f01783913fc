#include "support/data_tables.h"

#include <gtest/gtest.h>

#include "frontend/data_files.h"
#include "frontend/startup.h"

namespace tavrin::test {

const std::string& load_data_tables() {
  static const std::string out = [] {
    testing::internal::CaptureStdout();
    initialize(TAVRIN_TEST_DATA_DIR);
    set_language_defaults();  // the settings as the program has them at its first prompt
    return testing::internal::GetCapturedStdout();
  }();
  return out;
}

}  // namespace tavrin::test
