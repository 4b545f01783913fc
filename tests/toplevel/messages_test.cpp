// The message texts and the built-in table read from "Qerrs": the format of
// the file, the fixed names and operator aliases at their indices, the
// lookup by bisection, and a text for every code the sources raise.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "core/error_codes.h"
#include "core/errors.h"
#include "toplevel/builtin_names.h"
#include "toplevel/builtins.h"
#include "support/data_tables.h"

namespace tavrin::test {
namespace {

namespace fs = std::filesystem;

class Messages : public ::testing::Test {
 protected:
  void SetUp() override { load_data_tables(); }
};

const char* const neutral_text = "This symbol is not allowed here.\n";

TEST_F(Messages, FileLinesAndTexts) {
  std::ifstream in(std::string(TAVRIN_TEST_DATA_DIR) + "Qerrs");
  ASSERT_TRUE(in);
  std::string line;
  for (int code = 1; code <= 377; ++code) {
    ASSERT_TRUE(std::getline(in, line)) << "line " << code;
    EXPECT_GE(line.size(), 1u) << code;
    EXPECT_LE(line.size(), 64u) << "line " << code << ": " << line;
    // A text shorter than 65 characters is kept with its line end.
    EXPECT_EQ(std::string(erp[code]), line + "\n") << code;
  }
  ASSERT_TRUE(std::getline(in, line));
  EXPECT_EQ(line, "109") << "the index of the last built-in";
  EXPECT_EQ(numbuiltins, 109);
  // The raised codes of the error reports that name themselves.
  EXPECT_STREQ(erp[302], "Number too long: more than 32,767 limbs.\n");
  EXPECT_STREQ(erp[216], "Statements or expressions nested too deeply.\n");
  EXPECT_STREQ(erp[22], "Division by zero.\n");
}

TEST_F(Messages, BuiltinTableOrderFixedNamesAndAliases) {
  ASSERT_EQ(numbuiltins, 109);
  for (int i = 0; i <= numbuiltins; ++i) {
    const std::size_t len = std::strlen(builtin[i].name);
    EXPECT_GE(len, 1u);
    EXPECT_LE(len, 10u);
    EXPECT_TRUE(builtin[i].name[0] >= 'A' && builtin[i].name[0] <= 'Z') << i;
    if (i > 0) {
      // Unsigned bytes, a name before every longer name that it begins.
      EXPECT_LT(std::memcmp(builtin[i - 1].name, builtin[i].name,
                            std::max(len, std::strlen(builtin[i - 1].name)) + 1),
                0)
          << builtin[i - 1].name << " before " << builtin[i].name;
    }
  }
  const std::map<int, std::string> fixed = {
      {0, "Array"},      {3, "Chpoly"},     {6, "Colreduce"}, {10, "Denom"},     {12, "Det"},
      {14, "Diag"},      {19, "FFLU"},      {20, "FFLUC"},    {24, "Func"},      {25, "Function"},
      {26, "GCD"},       {29, "Hermite"},   {32, "Iszero"},   {42, "MSmith"},    {45, "Minors"},
      {54, "Normalize"}, {58, "Numer"},     {63, "Poly"},     {67, "Pseudet"},   {68, "RRand"},
      {70, "Rand"},      {73, "Redrowech"}, {76, "Reverse"},  {78, "Rowreduce"}, {81, "STrans"},
      {83, "Smith"},     {84, "Sort"},      {89, "Sqrt"},     {101, "Trans"},
  };
  for (const auto& [index, name] : fixed) EXPECT_EQ(builtin[index].name, name) << index;
  const std::set<int> aliases = {1, 4, 5, 7, 9, 12, 14, 40, 66, 68, 70, 79, 82, 89, 101, 103};
  for (int i = 0; i <= numbuiltins; ++i) {
    if (aliases.count(i) != 0) {
      EXPECT_EQ(builtin[i].second, "*" + std::to_string(i)) << builtin[i].name;
    } else {
      EXPECT_NE(builtin[i].second[0], '*') << builtin[i].name;
    }
  }
}

// The names the code uses agree with the loaded data file: every built-in's
// named index finds its name, and named error codes print their messages.
TEST_F(Messages, NamedBuiltinsAndCodesAgreeWithTheDataFile) {
  ASSERT_EQ(numbuiltins + 1, bi::count);
  for (int i = 0; i < bi::count; ++i) {
    EXPECT_STREQ(builtin[i].name, builtin_names[i]) << i;
    EXPECT_EQ(find_built_in(0, numbuiltins, builtin_names[i]), i) << builtin_names[i];
  }
  EXPECT_EQ(find_built_in(0, numbuiltins, "Isprime"), bi::Isprime);
  EXPECT_EQ(find_built_in(0, numbuiltins, "ZZ3"), bi::ZZ3);
  EXPECT_STREQ(erp[division_by_zero_error], "Division by zero.\n");
  EXPECT_STREQ(erp[close_paren_expected_error], "\")\" expected.\n");
  EXPECT_STREQ(erp[no_such_array_error], "No such array.\n");
  EXPECT_STREQ(erp[matrix_not_square_241_error], "Matrix is not square.\n");
  EXPECT_STREQ(erp[not_in_this_arithmetic_error], "Not available in this arithmetic mode.\n");
}

TEST_F(Messages, LookupByBisection) {
  for (int i = 0; i <= numbuiltins; ++i) {
    ASSERT_EQ(find_built_in(0, numbuiltins, builtin[i].name), i) << builtin[i].name;
    // A longer or shorter name, or a name with the last letter changed, is absent
    // unless the table holds it.
    std::string longer = std::string(builtin[i].name) + "a";
    const int found = find_built_in(0, numbuiltins, longer.c_str());
    if (found >= 0) {
      EXPECT_EQ(builtin[found].name, longer);
    }
  }
  EXPECT_EQ(find_built_in(0, numbuiltins, "A"), -1) << "before the first name";
  EXPECT_EQ(find_built_in(0, numbuiltins, "zzz"), -1) << "after the last name";
  EXPECT_EQ(find_built_in(0, numbuiltins, "sqrt"), -1) << "the case counts";
  EXPECT_EQ(find_built_in(5, 4, builtin[5].name), -1) << "an empty range";
  EXPECT_EQ(find_built_in(50, numbuiltins, builtin[3].name), -1) << "outside the range searched";
}

// Every code passed to error() or abandon() in src/, as a number or as a
// named constant (NAME_error), has a text of its own (not the neutral text
// of unused codes).
TEST_F(Messages, EveryRaisedCodeHasAText) {
  const fs::path src = TAVRIN_TEST_SOURCE_DIR;
  // Named codes: the constants of core/error_codes.h and the folders' own.
  std::map<std::string, int> names;
  const std::regex constant(R"(constexpr\s+std::int32_t\s+(\w+_error)\s*=\s*(\d+)\s*;)");
  for (const auto& entry : fs::recursive_directory_iterator(src)) {
    if (!entry.is_regular_file() || entry.path().extension() != ".h") continue;
    std::ifstream in(entry.path());
    std::stringstream text;
    text << in.rdbuf();
    const std::string s = text.str();
    for (auto it = std::sregex_iterator(s.begin(), s.end(), constant); it != std::sregex_iterator();
         ++it)
      names[(*it)[1]] = std::stoi((*it)[2]);
  }
  ASSERT_GE(names.size(), 3u);
  const std::regex call(R"(\b(?:error|abandon)\(\s*(\w+)\s*,)");
  std::map<int, std::string> raised;  // code -> where
  for (const auto& entry : fs::recursive_directory_iterator(src)) {
    if (!entry.is_regular_file()) continue;
    const std::string ext = entry.path().extension().string();
    if (ext != ".cpp" && ext != ".h") continue;
    std::ifstream in(entry.path());
    std::string line;
    int lineno = 0;
    while (std::getline(in, line)) {
      ++lineno;
      for (auto it = std::sregex_iterator(line.begin(), line.end(), call);
           it != std::sregex_iterator(); ++it) {
        const std::string arg = (*it)[1];
        int code = -1;
        if (std::isdigit(static_cast<unsigned char>(arg[0]))) {
          code = std::stoi(arg);
        } else if (names.count(arg) != 0) {
          code = names[arg];
        } else {
          continue;  // a variable (the code is passed on) or a declaration
        }
        if (code > 0)
          raised[code] = entry.path().filename().string() + ":" + std::to_string(lineno);
      }
    }
  }
  EXPECT_GE(raised.size(), 8u) << "the search found the codes";
  for (const auto& [code, where] : raised) {
    ASSERT_LT(code, erp_slots) << where;
    EXPECT_NE(erp[code][0], '\0') << "code " << code << " at " << where;
    EXPECT_STRNE(erp[code], neutral_text) << "code " << code << " at " << where;
  }
}

}  // namespace
}  // namespace tavrin::test
