// The threaded products and GCDs by wall time (compare_threads has the
// matrix routes): each row runs a statement file through
// the real tavrin with TAVRIN_THREADS=1 and with as many threads as cores,
// beside gp at its default nbthreads and, where FLINT has the operation,
// FLINT with flint_set_num_threads(cores); wall and processor seconds of
// each (benchmarks only; the machine may be shared: its load is printed).
//
// Rows:
//   product 7^N      b := a (a + 1) for a = 7^N (long integer products by
//                    transforms: the three primes side by side)
//   gcd dense 4      GCD(g a, g b), g, a, b every monomial of total degree
//                    <= D (8, 12) in x, y, z, w, coefficients in [-99, 99], g times
//                    2^200 + 1 so the images take many primes
//
//   compare_threads_gcd [row-prefix]
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#ifdef TAVRIN_PEER_FLINT
#include <flint/flint.h>
#include <flint/fmpz.h>
#include <flint/fmpz_mpoly.h>
#include <flint/thread_support.h>
#endif

namespace {

struct Timing {
  double wall = -1, cpu = -1;
};

double children_cpu() {
  rusage u{};
  getrusage(RUSAGE_CHILDREN, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

double own_cpu() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) * 1e-6;
}

// Runs the shell command (its output discarded), timed.
Timing run(const std::string& command) {
  const double c0 = children_cpu();
  const auto t0 = std::chrono::steady_clock::now();
  const int status = std::system((command + " >/dev/null 2>&1").c_str());
  Timing t;
  t.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  t.cpu = children_cpu() - c0;
  if (status != 0) t.wall = t.cpu = -1;
  return t;
}

Timing in_process(const std::function<void()>& body) {
  const double c0 = own_cpu();
  const auto t0 = std::chrono::steady_clock::now();
  body();
  return {std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count(),
          own_cpu() - c0};
}

std::string write_file(const std::string& name, const std::string& text) {
  const std::string path = "/tmp/compare_threads_" + std::to_string(getpid()) + "_" + name;
  std::ofstream(path) << text;
  return path;
}

Timing tavrin(const std::string& statements, int threads) {
  const std::string file = write_file("tavrin.txt", statements + "&q\n");
  return run("TAVRIN_THREADS=" + std::to_string(threads) + " " TAVRIN_EXECUTABLE " < " + file);
}

Timing gp(const std::string& script) {
  const std::string file = write_file("gp.txt", script + "\\q\n");
  return run("timeout 60 gp -q --default parisizemax=8G < " + file);  // a stop shows as failed
}

// Every monomial of total degree <= d in 4 variables with coefficients in
// [-99, 99] (not 0), as "c*x^i*y^j*z^k*w^l" terms joined by " + ".
std::string dense4(std::mt19937_64& rng, int d) {
  std::string s;
  for (int i = 0; i <= d; ++i)
    for (int j = 0; i + j <= d; ++j)
      for (int k = 0; i + j + k <= d; ++k)
        for (int l = 0; i + j + k + l <= d; ++l) {
          int c = 0;
          while (c == 0) c = static_cast<int>(rng() % 199) - 99;
          if (!s.empty()) s += " + ";
          s += "(" + std::to_string(c) + ")*x^" + std::to_string(i) + "*y^" + std::to_string(j) +
               "*z^" + std::to_string(k) + "*w^" + std::to_string(l);
        }
  return s;
}

void print(const char* side, const Timing& t) {
  if (t.wall < 0) {
    std::printf("  %-22s failed or stopped (60 s)\n", side);
  } else {
    std::printf("  %-22s wall %8.3f s   cpu %8.3f s\n", side, t.wall, t.cpu);
  }
}

struct Row {
  std::string name;
  std::string statements, gp_script;
  std::function<Timing(int)> flint;  // null: FLINT not compared
};

std::vector<Row> rows(int cores) {
  (void)cores;
  std::vector<Row> r;
  const int n = 3000000;
  r.push_back({"product 7^" + std::to_string(n),
               "a := 7^" + std::to_string(n) + ":\nb := a*(a + 1):\n",
               "a = 7^" + std::to_string(n) + "; b = a*(a + 1);\n", nullptr});
#ifdef TAVRIN_PEER_FLINT
  r.back().flint = [n](int threads) {
    flint_set_num_threads(threads);
    fmpz_t a, b;
    fmpz_init(a);
    fmpz_init(b);
    const Timing t = in_process([&] {
      fmpz_set_ui(a, 7);
      fmpz_pow_ui(a, a, static_cast<ulong>(n));
      fmpz_add_ui(b, a, 1);
      fmpz_mul(b, a, b);
    });
    fmpz_clear(a);
    fmpz_clear(b);
    return t;
  };
#endif
  for (const int d : {8, 12}) {
    std::mt19937_64 rng(7 + static_cast<unsigned>(d));
    const std::string g = "(2^200 + 1)*(" + dense4(rng, d) + ")", a = dense4(rng, d),
                      b = dense4(rng, d);
    const std::string vars = "&(J = x): &(J = y): &(J = z): &(J = w):\n";
    const std::string set = "g := " + g + ":\nu := g*(" + a + "):\nv := g*(" + b + "):\n";
    Row row{"gcd dense 4 degree " + std::to_string(d), vars + set + "h := GCD(u, v):\n",
            "g = " + g + "; u = g*(" + a + "); v = g*(" + b + "); h = gcd(u, v);\n", nullptr};
#ifdef TAVRIN_PEER_FLINT
    row.flint = [g, a, b](int threads) {
      flint_set_num_threads(threads);
      const char* names[] = {"x", "y", "z", "w"};
      fmpz_mpoly_ctx_t ctx;
      fmpz_mpoly_ctx_init(ctx, 4, ORD_LEX);
      fmpz_mpoly_t fg, fa, fb, fu, fv, fr;
      for (auto* p : {&fg, &fa, &fb, &fu, &fv, &fr}) fmpz_mpoly_init(*p, ctx);
      fmpz_mpoly_set_str_pretty(fg, g.c_str(), names, ctx);
      fmpz_mpoly_set_str_pretty(fa, a.c_str(), names, ctx);
      fmpz_mpoly_set_str_pretty(fb, b.c_str(), names, ctx);
      fmpz_mpoly_mul(fu, fg, fa, ctx);
      fmpz_mpoly_mul(fv, fg, fb, ctx);
      const Timing t = in_process([&] { fmpz_mpoly_gcd(fr, fu, fv, ctx); });
      for (auto* p : {&fg, &fa, &fb, &fu, &fv, &fr}) fmpz_mpoly_clear(*p, ctx);
      fmpz_mpoly_ctx_clear(ctx);
      return t;
    };
#endif
    r.push_back(std::move(row));
  }
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string prefix = argc > 1 ? argv[1] : "";
  const int cores = static_cast<int>(std::thread::hardware_concurrency());
  double load[3] = {0, 0, 0};
  getloadavg(load, 3);
  std::printf("%d cores, load average %.2f %.2f %.2f\n", cores, load[0], load[1], load[2]);
  const bool have_gp = std::system("command -v gp >/dev/null 2>&1") == 0;
  for (const Row& row : rows(cores)) {
    if (row.name.compare(0, prefix.size(), prefix) != 0) continue;
    std::printf("%s\n", row.name.c_str());
    const Timing one = tavrin(row.statements, 1), all = tavrin(row.statements, cores);
    print("tavrin 1 thread", one);
    print(("tavrin " + std::to_string(cores) + " threads").c_str(), all);
    if (one.wall > 0 && all.wall > 0)
      std::printf("  %-22s %.2f\n", "wall 1 / wall all", one.wall / all.wall);
    if (have_gp) print("gp (default nbthreads)", gp(row.gp_script));
    if (row.flint) {
      print("FLINT 1 thread", row.flint(1));
      print(("FLINT " + std::to_string(cores) + " threads").c_str(), row.flint(cores));
    }
    std::fflush(stdout);
  }
  return 0;
}
