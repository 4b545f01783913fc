// "Minpoly" beside gp's minpoly, in one run: sparse matrices of sides 50,
// 100, 150, 200 and 300 of four kinds, modulo 2, 3, 101 and a word prime and over the
// integers. Tavrin runs in this process (processor time, the median of
// alternating runs); gp, a program, runs on a script that times its own
// calls (the best of three by its processor timer, start-up left out). Each
// row checks that both answers have the same degree and the same value at
// x = 2 (modulo the prime, or modulo 1000003 over the integers).
// With the second argument "whole" every projected sequence runs to its
// full length 2n + 1 (the route before the early stop).
//
// Kinds (fixed seeds):
//   random   3-6 entries a row in [-9, 9]
//   jordan   permuted Jordan blocks of sides 1-4 for two eigenvalues
//   blocks   a random 10 x 10 block (half its entries in [-3, 3]) repeated
//            along the diagonal, the rest 2, permuted
//   diag     a permuted diagonal of entries from {1, 2, 3} (mod 2: {0, 1})
//
//   compare_minpoly [kind-prefix [whole]]     e.g. compare_minpoly jordan
// Peers serve this comparison only; gp not on PATH leaves its column empty.

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "numbers/primes.h"
#include "numbers/work_arrays.h"
#include "dense/dense_arrays.h"
#include "toplevel/charsets.h"
#include "toplevel/chdat.h"
#include "toplevel/dispatch.h"
#include "toplevel/scanner.h"
#include "toplevel/start_tables.h"
#include "toplevel/state.h"
#include "frontend/data_files.h"
#include "frontend/startup.h"
#include "bench_statements.h"
#include "peers.h"

namespace {

using namespace tavrin;

constexpr std::uint64_t check_modulus = 1000003;

void run(const std::string& text) { bench::run_statements(text); }

// The value of one statement modulo m (a number value; 0 otherwise, and -1
// when the statement gives no number).
long long value_mod(const std::string& text, std::uint64_t m) {
  quoly value = bench::statement_value(text);
  long long r = -1;
  if (value != nullptr && value->numb) {
    imptr x = value->ncoef;
    if (modularmode) {
      r = static_cast<long long>(x->lint);
    } else {
      __int128 acc = 0;
      for (numptr l = x->head; l != nullptr; l = l->next)
        acc = (acc * (__int128{1} << 28) + l->value) % static_cast<__int128>(m);
      r = static_cast<long long>((acc % static_cast<__int128>(m) + m) % m);
    }
  }
  free_quoly(&value);
  return r;
}

void set_up() {
  open_pools();
  allocate_dense_arrays();
  bench::start_with_x();
}

using Entries = std::map<std::pair<int, int>, long>;

Entries make_matrix(const std::string& kind, int n, std::uint64_t p, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  auto below = [&](std::uint64_t k) { return static_cast<long>(rng() % k); };
  Entries e;
  if (kind == "random") {
    for (int i = 0; i < n; ++i)
      for (long k = 3 + below(4); k > 0; --k)
        e[{i, static_cast<int>(below(static_cast<std::uint64_t>(n)))}] = below(19) - 9;
    return e;
  }
  if (kind == "jordan") {
    const long eig[2] = {p == 2 ? 0 : 1, p == 2 ? 1 : 2};
    for (int i = 0; i < n;) {
      const int s = std::min(1 + static_cast<int>(below(4)), n - i);
      const long lam = eig[below(2)];
      for (int k = 0; k < s; ++k) {
        e[{i + k, i + k}] = lam;
        if (k + 1 < s) e[{i + k, i + k + 1}] = 1;
      }
      i += s;
    }
  } else if (kind == "blocks") {
    constexpr int b = 10;
    long B[b][b];
    for (auto& row : B)
      for (auto& v : row) v = below(2) == 0 ? below(7) - 3 : 0;
    int i = 0;
    for (; i + b <= n; i += b)
      for (int r = 0; r < b; ++r)
        for (int c = 0; c < b; ++c) e[{i + r, i + c}] = B[r][c];
    for (; i < n; ++i) e[{i, i}] = 2;
  } else {  // diag
    for (int i = 0; i < n; ++i) e[{i, i}] = p == 2 ? below(2) : 1 + below(3);
  }
  std::vector<int> perm(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) perm[static_cast<std::size_t>(i)] = i;
  std::shuffle(perm.begin(), perm.end(), rng);
  Entries out;
  for (const auto& [ij, v] : e)
    out[{perm[static_cast<std::size_t>(ij.first)], perm[static_cast<std::size_t>(ij.second)]}] = v;
  return out;
}

// x mod m of a decimal integer (sign first), non-negative.
std::uint64_t decimal_mod(const std::string& s, std::uint64_t m) {
  std::uint64_t r = 0;
  bool negative = false;
  for (char c : s) {
    if (c == '-') negative = true;
    if (c >= '0' && c <= '9') r = (r * 10 + static_cast<std::uint64_t>(c - '0')) % m;
  }
  return negative && r != 0 ? m - r : r;
}

struct Answer {
  long degree = -1;
  std::uint64_t at_two = 0;
  double ms = 0;
  bool ok = false;
};

Answer tavrin_minpoly(const Entries& e, int n, std::uint64_t p) {
  static int count = 0;
  Answer a;
  const std::string mq = "mq" + std::to_string(++count);
  std::string text =
      "Array " + mq + "[" + std::to_string(n) + "," + std::to_string(n) + "] Sparse:\n";
  const auto sp = static_cast<long>(p);
  for (const auto& [ij, v] : e) {
    const long r = p != 0 ? (v % sp + sp) % sp : v;  // residues in [0, p)
    if (r != 0)
      text += mq + "[" + std::to_string(ij.first + 1) + "," + std::to_string(ij.second + 1) +
              "] := " + std::to_string(r) + ":\n";
  }
  // The ground ring as the ring change sets it up, restored afterwards.
  std::optional<ModulusGuard> ring;
  const bool saved_mod = modularmode, saved_lint = lintmode;
  if (p != 0) {
    ring.emplace(static_cast<std::int32_t>(p), true);
    modularmode = lintmode = true;
  }
  run(text);
  std::vector<double> t;
  for (int i = 0; i < 5; ++i) {
    const double t0 = bench::cpu_seconds();
    run("mp := Minpoly([" + mq + "], 1):\n");
    t.push_back(bench::cpu_seconds() - t0);
  }
  a.ms = 1000 * bench::median(t);
  const std::uint64_t m = p != 0 ? p : check_modulus;
  a.degree = static_cast<long>(value_mod("Deg(mp, x)\n", m));
  const long long v = value_mod("Rem(mp, x - 2, q)\n", m);
  a.at_two = static_cast<std::uint64_t>(v < 0 ? 0 : v);
  a.ok = a.degree >= 0 && v >= 0;
  modularmode = saved_mod;
  lintmode = saved_lint;
  return a;
}

Answer gp_minpoly(const Entries& e, int n, std::uint64_t p) {
  Answer a;
  std::string m = "A=matrix(" + std::to_string(n) + "," + std::to_string(n) + ");\n";
  for (const auto& [ij, v] : e)
    if (v != 0)
      m += "A[" + std::to_string(ij.first + 1) + "," + std::to_string(ij.second + 1) +
           "]=" + std::to_string(v) + ";\n";
  if (p != 0) m += "A=A*Mod(1," + std::to_string(p) + ");\n";
  m += "best=10^9;for(i=1,3,t=getabstime();mp=minpoly(A);best=min(best,getabstime()-t));\n"
       "print(poldegree(mp));print(lift(subst(mp,x,2)));print(best);\n";
  const std::vector<std::string> lines =
      bench::lines_of(bench::run_program("gp -q --default parisize=1000000000", m, {}, false).out);
  if (lines.size() < 3) return a;
  a.degree = std::atol(lines[0].c_str());
  a.at_two = decimal_mod(lines[1], p != 0 ? p : check_modulus);
  a.ms = std::atof(lines[2].c_str());
  a.ok = true;
  return a;
}

}  // namespace

int main(int argc, char** argv) {
  const char* filter = argc > 1 ? argv[1] : "";
  if (argc > 2 && std::strcmp(argv[2], "whole") == 0) minpoly_first_terms = INT32_MAX;
  set_up();
  const bool gp = bench::on_path("gp");
  std::printf("%-7s %5s %11s %6s %10s %10s %7s  %s\n", "kind", "side", "modulus", "degree",
              "Tavrin ms", "gp ms", "ratio", "same");
  const char* kinds[] = {"random", "jordan", "blocks", "diag"};
  const std::uint64_t moduli[] = {2, 3, 101, 2147483629, 0};
  for (const char* kind : kinds) {
    if (std::strncmp(kind, filter, std::strlen(filter)) != 0) continue;
    for (const std::uint64_t p : moduli)
      for (const int n : {50, 100, 150, 200, 300}) {
        const Entries e = make_matrix(kind, n, p, 1000 * static_cast<std::uint64_t>(n) + p);
        const Answer ours = tavrin_minpoly(e, n, p);
        // gp's minpoly of a random integer matrix above side 50 takes minutes.
        const bool peer = gp && !(p == 0 && std::strcmp(kind, "random") == 0 && n > 50);
        const Answer theirs = peer ? gp_minpoly(e, n, p) : Answer{};
        char ratio[32] = "-";
        if (theirs.ok)
          std::snprintf(ratio, sizeof ratio, "%.2f", ours.ms / std::max(theirs.ms, 0.5));
        std::printf("%-7s %5d %11s %6ld %10.2f %10s %7s  %s\n", kind, n,
                    p == 0 ? "Z" : std::to_string(p).c_str(), ours.degree, ours.ms,
                    theirs.ok ? std::to_string(theirs.ms).substr(0, 8).c_str() : "-", ratio,
                    !theirs.ok ? "-"
                    : ours.ok && ours.degree == theirs.degree && ours.at_two == theirs.at_two
                        ? "yes"
                        : "NO");
        std::fflush(stdout);
      }
  }
  return 0;
}
