// The images modulo word primes of integer GCDs on the pool's threads: the
// same GCD at 1, 2, 3 and 8 threads for problems below and above the size
// where the images run side by side, equal to the driver's own stages (or,
// for the large ones, dividing both operands and divided by the planted
// factor); an interrupt among the tasks opens the level within a second and
// leaves no node behind.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/globals.h"
#include "core/interrupts.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "core/thread_pool.h"
#include "core/thresholds.h"
#include "poly/poly_repr.h"
#include "poly/poly_trial.h"
#include "gcd/flat/flat_gcd_impl.h"
#include "gcd/flat_gcd.h"
#include "gcd/gcd.h"
#include "support/data_tables.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

struct Threads {
  explicit Threads(int n) { set_thread_count(n); }
  ~Threads() { set_thread_count(0); }
};

void fresh_command() {
  original_depth = 1;
  alg_c_count = 0;
  g_cutoff = 10;
}

// The GCD by the flat engines (method `how`), or by the driver's own stages.
Poly gcd_of(poly u, poly v, bool flat, flat_gcd_method how = flat_gcd_method::automatic) {
  fresh_command();
  const ScopedValue<std::int32_t> terms(flat_gcd_terms, flat ? 0 : INT32_MAX);
  const ScopedValue<flat_gcd_method> method(flat_gcd_choice, how);
  Poly r;
  polygcd(u, v, r.cell(), polynames);
  return r;
}

// `terms` random terms in x, y, z, w, exponents below `top`, coefficients
// in [-50, 50] but one of `bits` bits: a GCD with it needs about bits / 31
// primes more.
std::string random_text(std::mt19937_64& rng, int terms, int top, int bits) {
  std::string s = "2^" + std::to_string(bits) + "*x*y";
  const char* names[] = {"x", "y", "z", "w"};
  for (int t = 0; t < terms; ++t) {
    s += " + (" + std::to_string(static_cast<int>(rng() % 101) - 50) + ")";
    for (const char* n : names)
      s += std::string("*") + n + "^" + std::to_string(rng() % static_cast<unsigned>(top));
  }
  return s;
}

Poly times(poly a, poly b) {
  Poly r;
  poly_mult(a, b, r.cell(), polynames);
  return r;
}

// The terms of p (its leaves).
std::size_t leaves(poly p) {
  std::size_t n = 0;
  for (; p != nullptr; p = p->next) n += p->numb ? 1 : leaves(p->pcoef);
  return n;
}

bool divides(poly d, poly n) {
  Poly q;
  return trial_poly_divide(n, d, q.cell(), polynames, false, false, false);
}

class FlatGcdThreads : public ::testing::Test {
 protected:
  void SetUp() override { load_data_tables(); }
  const PolyVars vars_{"x", "y", "z", "w"};
};

TEST_F(FlatGcdThreads, TheSameGcdAtEveryThreadCount) {
  std::mt19937_64 rng(71);
  // (terms of each factor, exponent bound, bits): u and v of some 100
  // terms (images in order), then of 1000 and more (side by side).
  struct Size {
    int terms, top, bits;
  };
  for (const Size s : {Size{8, 3, 200}, Size{30, 4, 250}, Size{40, 5, 300}}) {
    const Poly g(random_text(rng, s.terms, s.top, s.bits));
    const Poly u = times(g, Poly(random_text(rng, s.terms, s.top, 40)));
    const Poly v = times(g, Poly(random_text(rng, s.terms, s.top, 40)));
    const bool large = leaves(u) + leaves(v) >= flat::flat_image_thread_terms;
    SCOPED_TRACE(std::to_string(s.terms) + " terms a factor" + (large ? ", side by side" : ""));
    for (const flat_gcd_method how : {flat_gcd_method::dense, flat_gcd_method::sparse}) {
      const long primes = flat_gcd_stats.primes;
      const Poly first = [&] {
        const Threads pool(1);
        return gcd_of(u, v, true, how);
      }();
      EXPECT_GT(flat_gcd_stats.primes, primes + 5);  // past several batches of primes
      for (const int threads : {2, 3, 8}) {
        const Threads pool(threads);
        const long declined = flat_gcd_stats.declined;
        NodeBalance balance;
        EXPECT_EQ(gcd_of(u, v, true, how).str(), first.str()) << threads << " threads";
        balance.expect_balanced();
        EXPECT_EQ(flat_gcd_stats.declined, declined)
            << threads << " threads";  // the images gave it
      }
      EXPECT_TRUE(divides(g, first) && divides(first, u) && divides(first, v)) << first.str();
      if (!large) {
        EXPECT_TRUE(poly_equal(first, gcd_of(u, v, false)));
      }
    }
  }
}

// The level an interrupt opens: counted, timed, and left by "&_p" or "&@".
struct Level {
  static inline std::atomic<int> calls{0};
  static inline bool abandon = false;
  static inline std::chrono::steady_clock::time_point requested;
  static inline double seconds = 0;
  static void runner() {
    if (++calls == 1)
      seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - requested).count();
    if (abandon) throw TopLevelJump{};
  }
};

TEST_F(FlatGcdThreads, AnInterruptAmongTheTasksOpensTheLevelAndResumesOrAbandons) {
  std::mt19937_64 rng(73);
  const Poly g(random_text(rng, 40, 5, 600));
  const Poly u = times(g, Poly(random_text(rng, 40, 5, 40))),
             v = times(g, Poly(random_text(rng, 40, 5, 40)));
  const Poly want = gcd_of(u, v, true, flat_gcd_method::dense);
  const Threads pool(8);
  int levels = 0;  // runs the interrupt reached before the end
  for (const bool abandon : {false, true}) {
    for (const int delay_ms : {5, 40}) {
      SCOPED_TRACE(std::string(abandon ? "abandoned" : "resumed") + " after " +
                   std::to_string(delay_ms) + " ms");
      NodeBalance balance;
      {
        const ScopedValue<command_level_runner> runner(run_command_level, &Level::runner);
        const ScopedValue<bool> interrupts(command_int, true);
        Level::calls = 0;
        Level::abandon = abandon;
        std::thread ctrl_c([delay_ms] {
          std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
          Level::requested = std::chrono::steady_clock::now();
          interrupt_requested = 1;
        });
        bool unwound = false;
        Poly r;
        output_of([&] { r = gcd_of(u, v, true, flat_gcd_method::dense); }, &unwound);
        ctrl_c.join();
        const bool seen = Level::calls > 0;
        interrupt_requested = 0;
        EXPECT_EQ(unwound, abandon && seen);
        levels += seen ? 1 : 0;
        if (seen) {
          EXPECT_LT(Level::seconds, 1.0);
        }
        if (!unwound) {
          EXPECT_EQ(r.str(), want.str());
        }
      }
      balance.expect_balanced();
    }
  }
  EXPECT_GT(levels, 0);
}

}  // namespace
}  // namespace tavrin::test
