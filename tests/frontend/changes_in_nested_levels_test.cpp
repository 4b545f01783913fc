// Changes of the variable list, the relations and Laurent mode typed at a
// nested level that an interrupt opened inside a statement: the suspended
// statement holds values in the old ring, so the change is refused (error
// 73) and, with "&e" off, the statement is abandoned with every value as it
// was. The signal is sent to the running program as Ctrl-C would.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "support/program_run.h"

namespace tavrin::test {
namespace {

const char* const refusal = "The ground ring can change only at the top command level.";

// A matrix of side 24 over two variables whose inverse takes seconds.
const std::string matrix_setup =
    "&(J = v)\n&(J = u)\nArray q[24,24]:\n"
    "for i = 1 to 24 do for j = 1 to 24 do q[i,j] := ((i*j*j + 5*i) | 97) - 48 + "
    "u*((i + 2*j) | 19) + v*((i*j) | 13) + u*v*((i + j) | 7) + u^3*((i*i + j) | 5) + "
    "v^3*((i + j*j) | 11) + u^2*v^2*((3*i + j) | 9) od od:\n[b] := [q]:\n";

// Runs `statement`, interrupts it after half a second of its processor
// time, types `change` and "&_p" at the nested level, then checks that the
// variables and [q] are as before. Returns what the program wrote from the
// interrupt on ("" when no nested level came).
std::string change_while_suspended(const std::string& statement, const std::string& change) {
  LiveProgram p;
  if (!p.running()) return "";
  p.type(matrix_setup + "!!('go');\n" + statement + "\n");
  if (p.wait_for("go", 120) == std::string::npos) return "";
  const double start = p.cpu_seconds();
  for (int w = 0; w < 6000 && p.cpu_seconds() < start + 0.5; ++w)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const std::size_t from = p.output().size();
  p.interrupt();
  if (p.wait_for("2>", 60, from) == std::string::npos) return "";
  p.type(change +
         "\n&_p\n"
         "if Iszero([q] - [b]) = 1 and Deg(q[1,1], u) = 3 and Deg(q[1,1], v) = 3 "
         "then 11 else 22 fi;\n!!('checked');\n&q\n");
  p.wait_for("checked", 120, from);
  return p.output().substr(from);
}

TEST(ChangesInNestedLevels, AreRefusedAboveASuspendedStatement) {
  for (const char* change : {"&(J = w9)", "&(J = -u)", "&(P = u^2 + 1)", "&l"}) {
    SCOPED_TRACE(change);
    const std::string out = change_while_suspended("[q] := [q]^-1:", change);
    ASSERT_NE(out.find("*** New command level.\n2>"), std::string::npos) << out;
    EXPECT_NE(out.find(refusal), std::string::npos) << out;
    EXPECT_EQ(out.find("Change of polynomial variable"), std::string::npos) << out;
    EXPECT_EQ(out.find("Negative exponents enabled"), std::string::npos) << out;
    EXPECT_EQ(out.find("Tavrin error"), std::string::npos) << out;
    EXPECT_NE(out.find(" 11\n"), std::string::npos) << "values changed:\n" << out;
  }
}

}  // namespace
}  // namespace tavrin::test
