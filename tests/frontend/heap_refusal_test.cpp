// The program under a limit on its address space: an allocation that the
// heap refuses abandons the statement with the out-of-heap warning, from
// the top level and from a nested level alike, and the prompt comes back
// with the values kept; the program is never ended by it.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/program_run.h"

namespace tavrin::test {
namespace {

std::size_t occurrences(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(HeapRefused, TheStatementIsAbandonedAndThePromptComesBack) {
#ifdef TAVRIN_TEST_SANITIZED
  GTEST_SKIP() << "the sanitizers reserve more address space than the limit allows";
#else
  ProgramDir dir;
  // A budget far above the limit: the 16 GB of row heads reach the heap.
  std::ofstream(dir.path() + "/tvrstart.txt", std::ios::trunc) << "100000\n";
  std::ofstream(dir.path() + "/in.txt") << "x := 7:\n"
                                           "Array z[2147483647, 2] Sparse:\n"
                                           "x + 1;\n"
                                           "&e\n"
                                           "Func F(a) = a/0.\n"
                                           "F(1);\n"
                                           "Array z[2147483647, 2] Sparse:\n"
                                           "x + 2;\n";
  const ShellRun r = run_shell("cd " + dir.path() + " && ulimit -v 1500000 && " +
                               std::string(TAVRIN_TEST_EXECUTABLE) + " < in.txt 2>&1");
  EXPECT_EQ(r.status, 0) << r.out;
  const std::string refused =
      "\n*** Warning.  You are out of heap space.  Abort this computation.\n\n>";
  EXPECT_EQ(occurrences(r.out, refused), 2u) << r.out;
  // The first at the top level, the second from the level the division by
  // zero opened, back at the top level's prompt; x kept throughout.
  EXPECT_NE(r.out.find("a/0\n2>" + refused), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\n        8\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("\n        9\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" bye\n"), std::string::npos) << r.out;
#endif
}

}  // namespace
}  // namespace tavrin::test
