// Saved states, through the real program: the file of a small state is
// known exactly; random states read back by "&r" into a fresh program list,
// report and save again exactly as the original did.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "support/bigref.h"
#include "support/program_run.h"

namespace tavrin::test {
namespace {

// The output between the lines "BEGIN" and "END" the statements write.
std::string between_marks(const std::string& out) {
  const std::size_t b = out.find("BEGIN\n");
  const std::size_t e = out.find("END\n");
  if (b == std::string::npos || e == std::string::npos || e < b) return "<marks missing>";
  return out.substr(b, e - b);
}

TEST(SavedState, TheFileOfASmallStateIsKnown) {
  ProgramDir w;
  w.run(
      "x := 5:\n&(J = t)\ny := t^2 + 1:\nArray m[2,2]:\n"
      "m[1,1] := 1: m[1,2] := 2: m[2,1] := 3: m[2,2] := 4:\n&(S = 'st')\n&s\n");
  EXPECT_EQ(w.file("st"),
            "&(m = 1);\n&(a = 1);\n&(u = 0);\n\n    &(J = t);\n\n\n\n;;** functions:\n\n;;** "
            "scalars:\n x := 5;\n y := &_n ( t^2 + 1 );\n\n\n;;**  arrays:\n\nArray m[2,2];\n[m] "
            ":= [[  1,  2, \n           3,  4   ]];\n&x;\n");
}

// ---- Random states --------------------------------------------------------------------

struct Generator {
  explicit Generator(std::uint64_t seed) : rng(seed) {}
  std::mt19937_64 rng;
  std::vector<std::string> vars;  // the adjoined variables
  bool modular = false;

  int below(int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); }

  std::string integer(bool big) {
    std::string s = below(3) == 0 ? "-" : "";
    const int digits = big ? 80 + below(40) : 1 + below(5);
    s += static_cast<char>('1' + below(9));
    for (int k = 1; k < digits; ++k) s += static_cast<char>('0' + below(10));
    return s;
  }
  std::string rational() {
    return "(" + integer(below(4) == 0) + ")/" + std::to_string(2 + below(40));
  }
  std::string polynomial() {
    std::string s = "(" + integer(false);
    const int terms = 1 + below(3);
    for (int k = 0; k < terms; ++k) {
      s += below(2) == 0 ? " + " : " - ";
      s += modular ? std::to_string(1 + below(50)) : rational();
      for (const std::string& v : vars)
        if (below(2) == 0) s += "*" + v + "^" + std::to_string(1 + below(3));
      if (!vars.empty()) s += "*" + vars[below(static_cast<int>(vars.size()))];
    }
    return s + ")";
  }
  // A value of any kind the ring allows.
  std::string value() {
    const int kind = below(vars.empty() ? 3 : 5);
    if (kind == 0) return integer(false);
    if (kind == 1) return integer(true);
    if (kind == 2) return modular ? integer(false) : rational();
    if (kind == 3) return polynomial();
    return polynomial() + "/" + polynomial();
  }
  // A small entry of the compact array form.
  std::string small() { return below(3) == 0 && !modular ? rational() : integer(false); }

  // A few functions of every statement form, with random constants.
  std::string functions() {
    std::string s;
    const std::string c = std::to_string(1 + below(9));
    if (below(2) == 0) s += "Function Fa(x) = x^2 + " + c + " .\n";
    if (below(2) == 0)
      s += "Function Fb(x, ^y) = if x > " + c + " then y := 1 else y := -x fi; y + x .\n";
    if (below(2) == 0)
      s += "Function Fc(n) = {count up} k := 0; while k < n do k := k + " + c + " od; k .\n";
    if (below(2) == 0) s += "Function Fd = " + c + " .\n";
    return s;
  }

  std::string state(bool with_functions) {
    std::string s = with_functions ? functions() : "";
    modular = below(3) == 0;
    vars.clear();
    if (!modular && below(3) == 0) {
      s += "&(J = f)\n&(P = f^2 + " + std::to_string(1 + below(3)) + ", 1)\n";
      vars.push_back("f");
    }
    for (const char* name : {"t", "s"})
      if (below(2) == 0) {
        s += std::string("&(J = ") + name + ")\n";
        vars.push_back(name);
      }
    if (!modular && below(4) == 0) {
      s += "&(J = w)\n&(P = w^3 - 2)\n";
      vars.push_back("w");
    }
    if (modular) {
      static const char* const primes[] = {"97", "65521", "1000003"};
      s += std::string("&(p = ") + primes[below(3)] + ")\n";
    }
    const int scalars = below(8);
    for (int k = 0; k < scalars; ++k)
      s += "x" + std::to_string(below(12)) + " := " + value() + ":\n";
    const int arrays = below(4);
    for (int k = 0; k < arrays; ++k) {
      const std::string name = "m" + std::to_string(k);
      const int rows = 1 + below(3), cols = 1 + below(3);
      const bool linear = cols == 1 && below(2) == 0;
      s += "Array " + name + "[" + std::to_string(rows) +
           (linear ? "" : "," + std::to_string(cols)) + "]:\n";
      const bool compact = below(2) == 0;
      for (int i = 1; i <= rows; ++i)
        for (int j = 1; j <= cols; ++j)
          s += name + "[" + std::to_string(i) + (linear ? "" : "," + std::to_string(j)) +
               "] := " + (compact ? small() : value()) + ":\n";
    }
    // Settings the saved state writes.
    if (below(4) == 0) s += "&(B = 0)\n";
    if (below(4) == 0) s += "&(D = " + std::to_string(below(6)) + ")\n";
    if (below(4) == 0) s += "&(M = 'ok>')\n";
    if (below(4) == 0) s += "&(L = 1)\n";
    if (below(4) == 0) s += "&(u = " + std::to_string(below(3)) + ")\n";
    if (below(4) == 0) s += "&(m = " + std::to_string(below(2) * 2) + ")\n";
    if (below(4) == 0) s += "&(V = 1)\n";
    if (below(5) == 0) s += "&(N = 0)\n";
    return s;
  }
};

// Whether the program defines user functions yet (the states then hold
// some).
bool functions_defined() {
  ProgramDir w;
  return w.run("Function Probe = 41 .\nProbe + 1;\n").find("       42\n") != std::string::npos;
}

TEST(SavedState, RandomStatesReadBackIdentically) {
  Generator g(test_seed());
  const bool with_functions = functions_defined();
  const std::string listings = "!!('BEGIN'):\n&v;\n&F*;\n&g\n!!('END'):\n";
  const int states = test_iterations(12);
  for (int k = 0; k < states; ++k) {
    const std::string state = g.state(with_functions);
    ProgramDir w;
    const std::string original = w.run(state + "&(S = 'st')\n&s\n&(S = '@')\n" + listings);
    const std::string reloaded =
        w.run("&r\nst\n&(R = '@')\n" + listings + "&(S = 'st2')\n&s\n&(S = '@')\n");
    SCOPED_TRACE("state " + std::to_string(k) + " (seed " + std::to_string(test_seed()) + "):\n" +
                 state);
    ASSERT_NE(between_marks(original), "<marks missing>");
    EXPECT_EQ(between_marks(original), between_marks(reloaded));
    EXPECT_EQ(w.file("st"), w.file("st2"));
    EXPECT_NE(w.file("st").find("&x;\n"), std::string::npos);
  }
}

}  // namespace
}  // namespace tavrin::test
