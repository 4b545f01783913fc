// GCD on its own copies of the operands: random products with a planted
// common factor in the word-size and characteristic-2 rings, on both sides
// of the element-vector and half-GCD cut-offs, against the extended GCD
// (EGCD, a route of its own) and its Bezout identity, with the operands'
// variables unchanged after; the same over the integers and with negative
// exponents, whose shift works on the operands in place.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "core/thresholds.h"
#include "support/program_run.h"

namespace tavrin::test {
namespace {

// A polynomial of degree d with random coefficients below `below` (the
// leading one non-zero), as text.
std::string random_poly(std::mt19937& rng, std::int32_t d, std::int32_t below) {
  std::string s;
  for (std::int32_t k = 0; k <= d; ++k) {
    std::int32_t c = static_cast<std::int32_t>(rng() % static_cast<std::uint32_t>(below));
    if (k == d && c == 0) c = 1;
    if (c == 0) continue;
    if (!s.empty()) s += " + ";
    s += std::to_string(c) + "*x^" + std::to_string(k);
  }
  return s;
}

// The text after "@@" in out: the line !!('@@', ...) printed.
std::string marked_line(const std::string& out) {
  const std::size_t at = out.find("@@");
  if (at == std::string::npos) return "";
  return out.substr(at + 2, out.find('\n', at) - at - 2);
}

TEST(GcdBuiltin, PlantedFactorsAgreeWithTheExtendedGcdAndKeepTheOperands) {
  struct Ring {
    const char* setting;
    std::int32_t below;  // coefficients
  };
  const std::vector<Ring> rings = {
      {"&(p = 32003):", 32003}, {"&(p = 256):", 256}, {"&(p = 65536):", 65536}};
  // Factor degrees about both cut-offs of the characteristic-2 vectors and
  // of the residue half-GCD.
  const std::vector<std::int32_t> degrees = {char2_vector_degree / 4, char2_vector_degree,
                                             onevar_hgcd_degree / 2 + 7, onevar_hgcd_degree + 11};
  std::mt19937 rng(20261211);
  for (const Ring& ring : rings) {
    for (const std::int32_t d : degrees) {
      const std::string a = random_poly(rng, d, ring.below),
                        b = random_poly(rng, d + 3, ring.below);
      const std::string h = random_poly(rng, d / 2 + 1, ring.below);
      std::string in = std::string("&(J = x):\n") + ring.setting + "\n";
      in += "a := " + a + ":\nb := " + b + ":\nh := " + h + ":\n";
      in += "u := a*h:\nw := b*h:\nu0 := u:\nw0 := w:\n";
      in += "g := GCD(u, w):\ne := EGCD(u, w, s, t):\n";
      in +=
          "!!('@@', g - e, ' ', s*u + t*w - g, ' ', u - u0, ' ', w - w0, ' ', GCD(u, u) - "
          "u/Lcoef(u),"
          " ' ', Deg(g) - Deg(h)):\n";
      const std::string out = run_program(in);
      const std::string line = marked_line(out);
      // The planted factor divides the GCD: its degree at least h's.
      EXPECT_EQ(line.substr(0, 14), " 0  0  0  0  0") << ring.setting << " degree " << d << "\n"
                                                      << out;
      ASSERT_GT(line.size(), 15u) << out;
      EXPECT_GE(std::stoi(line.substr(15)), 0) << line;
    }
  }
}

TEST(GcdBuiltin, IntegerAndLaurentOperandsKeepTheirValues) {
  struct Case {
    const char* setting;
    const char* u;
    const char* w;
    const char* gcd;
  };
  const std::vector<Case> cases = {
      {"", "(x + 1)^3*(x - 2)*(3*x^40 + 5)", "(x + 1)^2*(x + 3)*(3*x^40 + 5)",
       "(x + 1)^2*(3*x^40 + 5)"},
      {"&l:", "(x^-2 + 3)*(x + 1)^2", "(x + 1)*(x - 4)*x^-3", "x + 1"},
      {"&l:", "(x^-5 + 7*x)*(2*x^3 - 1)^2*x^-4", "(2*x^3 - 1)*(x^2 + 1)*x^-1", "2*x^3 - 1"},
  };
  for (const Case& c : cases) {
    std::string in = std::string("&(J = x):\n") + c.setting + "\n";
    in += std::string("u := ") + c.u + ":\nw := " + c.w + ":\nu0 := u:\nw0 := w:\n";
    in += "g := GCD(u, w):\n";
    in += std::string("!!('@@', g - (") + c.gcd + "), ' ', u - u0, ' ', w - w0):\n";
    const std::string out = run_program(in);
    EXPECT_EQ(marked_line(out), " 0  0  0") << c.u << ", " << c.w << "\n" << out;
  }
}

}  // namespace
}  // namespace tavrin::test
