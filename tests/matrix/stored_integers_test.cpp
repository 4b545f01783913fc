// In modular arithmetic a count, a degree or a position is stored as the
// integer itself, so a matrix may hold words outside the residues. Every
// matrix computation must read them as their images: a matrix b of stored
// integers and the matrix c of its images (b + 0, entry by entry) give the
// same output for every operation, dense and sparse, in small and large
// characteristic, on both sides of the word-residue routes' size limits.
#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "support/bigref.h"
#include "support/program_run.h"

namespace tavrin::test {
namespace {

constexpr const char* marker = "@@";

// The statements that fill b with stored integers and c with their images.
std::string fill(std::mt19937_64& rng, int n, bool sparse) {
  std::ostringstream s;
  const char* kind = sparse ? " Sparse" : "";
  s << "Array b[" << n << "," << n << "]" << kind << ":\nArray c[" << n << "," << n << "]" << kind
    << ":\n";
  if (!sparse)
    s << "for i = 1 to " << n << " do for j = 1 to " << n
      << " do b[i,j] := 0: c[i,j] := 0 od od:\n";
  std::uniform_int_distribution<int> word(0, 40), pick(0, 3), chance(0, 9);
  for (int i = 1; i <= n; ++i)
    for (int j = 1; j <= n; ++j) {
      if (i != j && chance(rng) >= (sparse ? 3 : 8)) continue;
      const int v = word(rng);
      const int how = pick(rng);
      const std::string cell = "[" + std::to_string(i) + "," + std::to_string(j) + "]";
      if (how == 3) {  // a loop variable holds its value as an integer
        s << "for k = " << v << " to " << v << " do b" << cell << " := k od:\n";
      } else {
        s << "b" << cell << " := "
          << (how == 0   ? "Deg(x^" + std::to_string(v) + ", x)"
              : how == 1 ? "&_m(" + std::to_string(v) + ")"
                         : "Terms(x^" + std::to_string(v) + " + x + 1)")
          << ":\n";
      }
      s << "c" << cell << " := b" << cell << " + 0:\n";
    }
  return s.str();
}

// Each operation on b, then on c, each output after a marker.
std::string operations() {
  const std::vector<std::string> ops = {"Det[#]",
                                        "Trace[#]",
                                        "Sum[#]",
                                        "[#] * [#]",
                                        "[#] + [#]",
                                        "[#]^-1",
                                        "[#]^3",
                                        "Chpoly([#])",
                                        "Det^[#]",
                                        "Det _[#]",
                                        "Adjoint([#])",
                                        "Altpower([#], 2)",
                                        "(x^2 + x + 1)#[#]",
                                        "Det#([#] > 1)",
                                        "[d] := [#]: Redrowech([d]); [d]",
                                        "[d] := [#]: Pseudet([d], [pos]); [d]; [pos]",
                                        "Minpoly([#], 0)"};
  std::ostringstream s;
  for (const std::string& op : ops)
    for (const char* a : {"b", "c"}) {
      std::string text = op;
      for (std::size_t k = text.find('#'); k != std::string::npos; k = text.find('#', k + 1))
        if (k > 0 && text[k - 1] == '[') text.replace(k, 1, a);
      s << "!!('" << marker << "')\n" << text << ";\n";
    }
  s << "!!('" << marker << "')\n";
  return s.str();
}

// The outputs between markers, the array names masked (error lines echo
// them).
std::vector<std::string> pieces(const std::string& out) {
  std::vector<std::string> parts;
  for (std::size_t at = out.find(marker); at != std::string::npos;) {
    const std::size_t next = out.find(marker, at + 2);
    std::string part =
        out.substr(at + 2, next == std::string::npos ? std::string::npos : next - at - 2);
    for (const char* name : {"[b]", "[c]"})
      for (std::size_t k = part.find(name); k != std::string::npos; k = part.find(name))
        part.replace(k, 3, "[?]");
    parts.push_back(part);
    at = next;
  }
  return parts;
}

TEST(StoredIntegers, MatrixComputationsReadTheirImages) {
  std::mt19937_64 rng(test_seed());
  const int rounds = test_iterations(6);
  const int moduli[] = {2, 3, 7, 97, 256};
  const int sides[] = {3, 9, 14};
  for (int round = 0; round < rounds; ++round) {
    const int p = moduli[round % 5];
    const int n = sides[(round / 5 + round) % 3];
    const bool sparse = round % 2 == 1;
    const std::string statements =
        "&(J = x)\n&(p = " + std::to_string(p) + ")\n" + fill(rng, n, sparse) + operations();
    const std::vector<std::string> parts = pieces(run_program(statements));
    ASSERT_EQ(parts.size() % 2, 1u) << statements;
    for (std::size_t k = 0; k + 1 < parts.size(); k += 2)
      EXPECT_EQ(parts[k], parts[k + 1])
          << "modulo " << p << ", side " << n << (sparse ? " sparse" : " dense") << ", operation "
          << k / 2 << "\n"
          << statements;
  }
}

}  // namespace
}  // namespace tavrin::test
