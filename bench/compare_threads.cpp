// The routes whose images run on the thread pool, timed through the real
// program at TAVRIN_THREADS=1 and at the machine's cores, beside gp (its
// default nbthreads) and FLINT (flint_set_num_threads at the same count):
// wall and processor seconds of the operation alone (each run less a run
// of the same script without the operation), and whether the answers at
// both counts agree.
//
// Rows (sizes of the suite's image problems):
//   det Z           integer determinant by word primes, 60-bit entries
//   chpoly Z        characteristic polynomial by primes, 20-bit entries
//   det GF(p)[x]    determinant over GF(32003)[x] by evaluation points,
//                   entries dense of degree 4
//   det Z[x]        the same over the integers, entries in [-9, 9] (no gp:
//                   it takes minutes at this size)
//
//   compare_threads [row-prefix]     e.g. compare_threads det
// Peers serve this comparison only; a peer not on PATH (gp) or not built
// in (FLINT) is left out.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "peers.h"

#ifdef TAVRIN_PEER_FLINT
#include <flint/flint.h>
#include <flint/fmpz_mat.h>
#include <flint/fmpz_poly.h>
#include <flint/nmod_poly_mat.h>
#endif

namespace {

using tavrin::bench::on_path;
using tavrin::bench::wanted;

struct Timing {
  double wall = 0, cpu = 0;
  std::string out;
};

// Runs body and measures its wall time beside the processor time it reports.
Timing timed(const std::function<tavrin::bench::ProgramRun()>& body) {
  const auto t0 = std::chrono::steady_clock::now();
  const tavrin::bench::ProgramRun r = body();
  Timing t;
  t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  t.cpu = r.seconds;
  t.out = r.out;
  return t;
}

// The operation's share: the run of setup + op less the run of setup.
Timing program(const std::string& command, const std::string& setup, const std::string& op) {
  const tavrin::bench::Watch w{"", "", 600, 0};
  const Timing base = timed([&] { return tavrin::bench::run_program(command, setup, w); });
  Timing all = timed([&] { return tavrin::bench::run_program(command, setup + op, w); });
  all.wall -= base.wall;
  all.cpu -= base.cpu;
  return all;
}

// An n x n matrix: each entry from make(rng).
using Entries = std::vector<std::string>;
Entries entries(int n, std::uint64_t seed,
                const std::function<std::string(std::mt19937_64&)>& make) {
  std::mt19937_64 rng(seed);
  Entries e(static_cast<std::size_t>(n) * n);
  for (auto& x : e) x = make(rng);
  return e;
}

#ifdef TAVRIN_PEER_FLINT
// a := the n x n integer matrix of the entries e, row by row.
void fmpz_mat_of(fmpz_mat_t a, const Entries& e, int n) {
  fmpz_mat_init(a, n, n);
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      fmpz_set_str(fmpz_mat_entry(a, i, j), e[static_cast<std::size_t>(i * n + j)].c_str(), 10);
}
#endif

std::string tavrin_matrix(int n, const Entries& e) {
  std::string s = "Array a[" + std::to_string(n) + "," + std::to_string(n) + "]:\n";
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      s += "a[" + std::to_string(i + 1) + "," + std::to_string(j + 1) +
           "] := " + e[static_cast<std::size_t>(i * n + j)] + ":\n";
  return s;
}

std::string gp_matrix(int n, const Entries& e, const std::string& wrap) {
  std::string s = "a = [";
  for (int i = 0; i < n; ++i)
    for (int j = 0; j < n; ++j)
      s += (j == 0 ? (i == 0 ? "" : ";") : ",") + wrap + "(" +
           e[static_cast<std::size_t>(i * n + j)] + ")";
  return s + "];\n";
}

std::string signed_bits(std::mt19937_64& rng, int bits) {
  const auto v = static_cast<std::int64_t>(rng() >> (64 - bits));
  return std::to_string(rng() % 2 == 0 ? v : -v);
}

std::string poly_entry(std::mt19937_64& rng, int deg, std::uint64_t p) {
  std::string s;
  for (int k = 0; k <= deg; ++k) {
    const std::int64_t c =
        p > 0 ? static_cast<std::int64_t>(rng() % p) : static_cast<std::int64_t>(rng() % 19) - 9;
    s += (k == 0 ? "" : " + ") + std::to_string(c) + "*x^" + std::to_string(k);
  }
  return s;
}

struct Row {
  std::string name;
  int n;
  Entries e;
  std::string tavrin_setup, tavrin_op, gp_setup, gp_op;
  std::function<tavrin::bench::ProgramRun(int threads)> flint;  // empty: none
};

void print(const char* who, int threads, const Timing& t) {
  std::printf("  %-8s %2d thr  wall %8.3f s  cpu %8.3f s\n", who, threads, t.wall, t.cpu);
}

// What the program answered: its output from the first prompt on (the
// banner before it holds the date).
std::string answers(const std::string& out) {
  const std::size_t at = out.find("\n>");
  return at == std::string::npos ? out : out.substr(at);
}

void run_row(const Row& r, int cores) {
  std::printf("%s, n = %d\n", r.name.c_str(), r.n);
  std::string first;
  for (int threads : {1, cores}) {
    const std::string cmd = "env TAVRIN_THREADS=" + std::to_string(threads) + " " TAVRIN_EXECUTABLE;
    const Timing t = program(cmd, r.tavrin_setup, r.tavrin_op);
    print("tavrin", threads, t);
    if (threads == 1)
      first = answers(t.out);
    else
      std::printf("  answers at 1 and %d threads %s\n", threads,
                  answers(t.out) == first ? "agree" : "DIFFER");
  }
  if (!r.gp_op.empty() && on_path("gp")) print("gp", 0, program("gp -q", r.gp_setup, r.gp_op));
  if (r.flint)
    for (int threads : {1, cores}) {
      const Timing t = timed([&] { return r.flint(threads); });
      print("FLINT", threads, t);
    }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) tavrin::bench::row_filter = argv[1];
  const int cores = static_cast<int>(std::thread::hardware_concurrency());
  std::printf("cores %d; gp at its default nbthreads (0: one per core)\n", cores);
  std::vector<Row> rows;
  {
    const int n = 250;
    Row r{"det Z (60-bit entries)",
          n,
          entries(n, 2, [](auto& g) { return signed_bits(g, 60); }),
          "",
          "",
          "",
          "",
          {}};
    r.tavrin_setup = tavrin_matrix(n, r.e);
    r.tavrin_op = "Det([a]);\n";
    r.gp_setup = gp_matrix(n, r.e, "");
    r.gp_op = "matdet(a)\n";
#ifdef TAVRIN_PEER_FLINT
    r.flint = [e = r.e, n](int threads) {
      return tavrin::bench::run_forked([&] {
        flint_set_num_threads(threads);
        fmpz_mat_t a;
        fmpz_mat_of(a, e, n);
        fmpz_t d;
        fmpz_init(d);
        fmpz_mat_det(d, a);
        fmpz_clear(d);
        fmpz_mat_clear(a);
      });
    };
#endif
    rows.push_back(std::move(r));
  }
  {
    const int n = 200;
    Row r{"chpoly Z (20-bit entries)",
          n,
          entries(n, 3, [](auto& g) { return signed_bits(g, 20); }),
          "",
          "",
          "",
          "",
          {}};
    r.tavrin_setup = "&(J = x)\n" + tavrin_matrix(n, r.e);
    r.tavrin_op = "Chpoly([a]);\n";
    r.gp_setup = gp_matrix(n, r.e, "");
    r.gp_op = "charpoly(a)\n";
#ifdef TAVRIN_PEER_FLINT
    r.flint = [e = r.e, n](int threads) {
      return tavrin::bench::run_forked([&] {
        flint_set_num_threads(threads);
        fmpz_mat_t a;
        fmpz_mat_of(a, e, n);
        fmpz_poly_t c;
        fmpz_poly_init(c);
        fmpz_mat_charpoly(c, a);
        fmpz_poly_clear(c);
        fmpz_mat_clear(a);
      });
    };
#endif
    rows.push_back(std::move(r));
  }
  for (const std::uint64_t p : {std::uint64_t{32003}, std::uint64_t{0}}) {
    const int n = p > 0 ? 200 : 60;
    Row r{p > 0 ? "det GF(32003)[x] (degree 4)" : "det Z[x] (degree 4)",
          n,
          entries(n, 5, [p](auto& g) { return poly_entry(g, 4, p); }),
          "",
          "",
          "",
          "",
          {}};
    r.tavrin_setup = (p > 0 ? "&(J = x)\n&(p = 32003)\n" : "&(J = x)\n") + tavrin_matrix(n, r.e);
    r.tavrin_op = "Det([a]);\n";
    r.gp_setup = gp_matrix(n, r.e, p > 0 ? "Mod(1,32003)*" : "");
    if (p > 0) r.gp_op = "matdet(a)\n";  // over Z[x] gp takes minutes at this size
#ifdef TAVRIN_PEER_FLINT
    if (p > 0)
      r.flint = [e = r.e, n](int threads) {
        return tavrin::bench::run_forked([&] {
          flint_set_num_threads(threads);
          std::mt19937_64 g(5);
          nmod_poly_mat_t a;
          nmod_poly_mat_init(a, n, n, 32003);
          for (int i = 0; i < n; ++i)
            for (int j = 0; j < n; ++j)
              for (int k = 0; k <= 4; ++k)
                nmod_poly_set_coeff_ui(nmod_poly_mat_entry(a, i, j), k, g() % 32003);
          nmod_poly_t d;
          nmod_poly_init(d, 32003);
          nmod_poly_mat_det(d, a);
          nmod_poly_clear(d);
          nmod_poly_mat_clear(a);
        });
      };
#endif
    rows.push_back(std::move(r));
  }
  for (const Row& r : rows)
    if (wanted(r.name.c_str())) run_row(r, cores);
  return 0;
}
