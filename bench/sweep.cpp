// The sweep: every operation a user has on integers and on polynomials in
// one variable (over Z, Q, the primes 7, 32003 and 2147483629, GF(2^8) and
// GF(2^16)), at doubling sizes up to the limits, Tavrin beside gp and FLINT
// in one run; then polynomials in several variables beside Singular,
// rational functions and matrices of numbers beside gp. The rows are in
// sweep_rows.h.
//
// Tavrin (the real program), gp and Singular each run a script of their own
// at each size: the operands are built, then the operation is timed by the
// program itself (Tavrin's timing of the statement, gp's getabstime(),
// Singular's timer), as a loop of runs (of several when one run is short;
// a loop even of one run, since a statement at the prompt does more, such
// as keeping its value as the previous result), then the checked values
// are printed. FLINT runs in a child process of this
// program. Every size of a row is timed the same way, by every side: the
// best of three timings in one program run (one timing for the rows whose
// operation leaves a cache behind, and in the short form), so the growth
// from size to size is never that of a cold run against warm ones. A side
// that has not finished a timing within the limit (FLINT: its timings
// within that many limits), or its set-up within ten times the limit, is
// stopped. A row doubles its size (or takes its own sizes) until Tavrin
// takes more than a quarter of the limit (20 s) for one run, its timings
// in the row add up to more than the limit, it fails or is stopped; a peer
// that does is not run at the larger sizes.
//
// Each row prints its times, the growth exponent of each side over the last
// three sizes (the slope of log time against log size), the ratios at the
// largest size, and its flags against every peer that takes part, each
// flag naming the peer (so a row is flagged against the fastest of them):
// SLOW above 3x the peer, STEEP an exponent above the peer's by more than
// 0.2, WALL stopped (in the operation or in building its operands) at a
// size where the peer finished, MISMATCH values that differ from a peer's,
// FAILED an error or no answer of Tavrin's. Every stop and error is
// noted in its row, and the sweep goes on with the next row. A summary
// table ends the run.
//
//   bench_sweep [--short] [--jobs N] [--limit SECONDS] [--scripts] [--help] [PATTERN ...]
//
// A PATTERN keeps the rows whose operation or ring contains it ("GCD",
// "GF(2^16)"). --short (or TAVRIN_SWEEP=short in the environment, as for
// make bench) runs three small sizes a row (a quarter of its first three)
// with a limit of one second and one timing and one program run a size,
// four rows at a time. --scripts prints the programs' scripts at the first
// size instead of running them.
// Peers serve this benchmark only; gp or Singular not on PATH leaves its
// column empty.
#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "peers.h"
#include "sweep_figures.h"
#include "sweep_measure.h"
#include "sweep_rows.h"
#ifdef TAVRIN_PEER_FLINT
#include "sweep_flint.h"
#endif

namespace {

using namespace tavrin::bench;
using namespace tavrin::bench::sweep;

// The integer operand of builder b and about d digits, in words that gp and
// Tavrin share.
std::string integer_text(char b, std::int64_t d) {
  return std::to_string(integer_base(b)) + "^" + std::to_string(integer_exponent(b, d)) + " + " +
         std::to_string(integer_addend(b));
}

// A program that runs the rows, by its words for each part of the script:
// the set-up of the ring, the operands, the assignments, the timings of
// the loop (between the lines "@@go" and "@@end"), the printed values
// ("@@v ...").
class Language {
 public:
  virtual ~Language() = default;
  virtual std::string command() const = 0;
  virtual const char* statement(const Operation& op) const = 0;  // the timed template
  virtual const char* post(const Operation& op) const = 0;
  virtual const char* setup(const Operation& op) const = 0;  // a row's own set-up
  virtual std::string preamble(Ring ring) const = 0;
  virtual std::string operand(const Operand& o, Ring ring, std::int64_t n) const = 0;
  virtual std::string assign(const std::string& target, const std::string& value) const = 0;
  virtual std::string ring_change(Ring ring) const = 0;  // after the operands are built
  // The timings: `runs` of them, each a loop of `reps` runs, or the
  // statement alone when not `looped` (then reps is 1).
  virtual std::string timed(const std::string& statement, long reps, int runs,
                            bool looped) const = 0;
  virtual std::string print(const std::string& value) const = 0;
  virtual std::string check_change(Ring ring) const = 0;  // before the values are printed
  virtual std::string degree(const std::string& v) const = 0;
  virtual std::string lead(const std::string& v) const = 0;
  virtual std::string value(const std::string& v) const = 0;  // at x = 3
  virtual std::string quit() const = 0;
  // The line printed between two timings (before each, or after each).
  virtual const char* lap() const = 0;
  virtual const char* words(const Coefficient& c) const = 0;
  // The milliseconds of each timing in the timed part of the output.
  virtual std::vector<double> milliseconds(const std::string& timed) const = 0;

  // The script of the row at size n, the operation timed `runs` times as a
  // loop of `reps` runs.
  std::string script(const Row& row, std::int64_t n, long reps, int runs) const {
    const Operation& op = *row.op;
    std::string s = preamble(row.ring);
    for (const Operand& o : op.operands) s += assign(o.name, operand(o, row.ring, n));
    s += expand(setup(op), n);
    s += ring_change(row.ring);
    for (const Derived& d : op.derived) s += assign(d.target, std::string(d.left) + d.op + d.right);
    s += timed(expand(statement(op), n), reps, runs, op.repeat);
    if (*post(op) != '\0') s += expand(post(op), n) + "\n";
    for (const Check& c : op.checks) {
      if (c.kind == 'd') s += print(degree(c.var));
      if (c.kind == 'n') s += print(c.var);
    }
    s += check_change(row.ring);
    for (const Check& c : op.checks) {
      const std::string v = c.var;
      if (c.kind == 'v') s += print(value(v));
      if (c.kind == 'm') s += print(value(v + "/" + lead(v)));
      if (c.kind == 's') s += print(value(v + "/" + lead(c.by)));
    }
    return s + quit();
  }

 private:
  // The template at size n: {n/8} and the like, {cA} (the coefficient in
  // the language's words), {digits}; other braces stand as they are.
  std::string expand(const std::string& text, std::int64_t n) const {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
      const std::size_t close = text[i] == '{' ? text.find('}', i) : std::string::npos;
      if (close == std::string::npos) {
        out += text[i];
        continue;
      }
      const std::string key = text.substr(i + 1, close - i - 1);
      const bool is_key = key == "digits" ||
                          (key.size() == 2 && key[0] == 'c' && key[1] >= 'A' && key[1] <= 'C') ||
                          (!key.empty() && (key[0] == 'n' || (key[0] >= '0' && key[0] <= '9')));
      if (!is_key) {  // a brace of the language itself (a Singular block)
        out += text[i];
        continue;
      }
      if (key == "digits")
        out += decimal_digits(n);
      else if (key[0] == 'c')
        out += words(coefficient(key[1] - 'A'));
      else
        out += std::to_string(size_of(key, n));
      i = close;
    }
    return out;
  }
};

class Tavrin : public Language {
 public:
  std::string command() const override { return TAVRIN_EXECUTABLE; }
  const char* statement(const Operation& op) const override { return op.tavrin; }
  const char* post(const Operation& op) const override { return op.tavrin_post; }
  const char* setup(const Operation& op) const override { return op.tavrin_setup; }
  std::string preamble(Ring ring) const override {
    // over Q, lq is the common denominator of the two-digit numbers
    return ring == Ring::q
               ? "&(J = x):\nlq := 1: for i = 10 to 99 do lq := lq*i \\ GCD(lq, i) od:\n"
               : "&(J = x):\n";
  }
  // The operands are built over the integers (or Q) and then reduced to the ring.
  std::string operand(const Operand& o, Ring ring, std::int64_t n) const override {
    const std::int64_t d = size_of(o.size, n);
    if (o.builder == 'X') return "x^" + std::to_string(d);
    if (o.builder == 'E') return "Sigma<k = 0, " + std::to_string(d) + ">[x^k]";
    if (o.builder == 'D') return "-x^" + std::to_string(d) + " + x^7 - 2";
    if (o.builder >= 'I') return integer_text(o.builder, d);
    const int which = o.builder - 'A';
    const std::string sum = "Sigma<k = 0, " + std::to_string(d) + ">[",
                      num = words(coefficient(which));
    if (ring != Ring::q) return sum + num + "*x^k]";
    return sum + "(lq \\ " + words(coefficient((which + 1) % 3)) + ")*" + num + "*x^k]/lq";
  }
  std::string assign(const std::string& target, const std::string& value) const override {
    return target + " := " + value + ":\n";
  }
  std::string ring_change(Ring ring) const override {
    return info(ring).size == 0 ? "" : "&(p = " + std::to_string(info(ring).size) + "):\n";
  }
  std::string timed(const std::string& statement, long reps, int runs, bool looped) const override {
    const std::string loop =
        looped ? "for i = 1 to " + std::to_string(reps) + " do " + statement + " od" : statement;
    std::string s = "!!('@@go'):\n";
    for (int i = 0; i < runs; ++i) s += "!!('@@run'):\n&(t = 1):\n" + loop + ":\n&(t = 0):\n";
    return s + "!!('@@end'):\n";
  }
  std::string print(const std::string& value) const override {
    return "!!('@@v ', " + value + "):\n";
  }
  std::string check_change(Ring ring) const override {
    return info(ring).size == 0 ? "&(p = " + std::to_string(check_prime) + "):\n" : "";
  }
  std::string degree(const std::string& v) const override { return "Deg(" + v + ")"; }
  std::string lead(const std::string& v) const override { return "Lcoef(" + v + ")"; }
  std::string value(const std::string& v) const override { return "(" + v + ")#3"; }
  std::string quit() const override { return "&q\n"; }
  const char* lap() const override { return "@@run"; }
  const char* words(const Coefficient& c) const override { return c.tavrin; }

  // After each "@@run", the sum of the statements' processor times,
  // " CPU time: 1:12.593".
  std::vector<double> milliseconds(const std::string& timed) const override {
    std::vector<double> ms;
    for (std::size_t at = timed.find("@@run"); at != std::string::npos;
         at = timed.find("@@run", at + 1)) {
      const std::string run = timed.substr(at, timed.find("@@run", at + 1) - at);
      ms.push_back(0);
      for (std::size_t t = run.find("CPU time:"); t != std::string::npos;
           t = run.find("CPU time:", t + 1)) {
        char* rest = nullptr;
        double v = std::strtod(run.c_str() + t + 9, &rest);
        if (*rest == ':') v = 60 * v + std::strtod(rest + 1, nullptr);
        ms.back() += 1000 * v;
      }
    }
    return ms;
  }
};

class Gp : public Language {
 public:
  std::string command() const override { return "gp -q --default parisize=2000000000"; }
  const char* statement(const Operation& op) const override { return op.gp; }
  const char* post(const Operation& op) const override { return op.gp_post; }
  const char* setup(const Operation& op) const override { return op.gp_setup; }
  // E maps a number to the ring, V gives a value as the checks print it
  // (at x = 3, E(3) in GF(2^k)), S is the square-free decomposition, A, B
  // and C build the operands.
  std::string preamble(Ring ring) const override {
    const std::int64_t size = info(ring).size;
    std::string s = "P=" + std::to_string(check_prime) + ";\n";
    for (int i = 0; i < 3; ++i)
      s += std::string("c") + static_cast<char>('A' + i) + "(k)=" + coefficient(i).gp + ";\n";
    if (size == 0) {
      s += "E(c)=c;\nV(c)=lift(Mod(1,P)*subst(c,'x,Mod(3,P)));\n"
           // Musser's decomposition: the factor of multiplicity i at step i
           "S(f)=my(L=List(),g=gcd(f,f'),w=f\\g,y);while(poldegree(w)>0,y=gcd(w,g);"
           "if(poldegree(w\\y)>0,listput(L,w\\y));g=g\\y;w=y);Mat(Col(L));\n";
    } else if (!char2(ring)) {
      s += "E(c)=Mod(c," + std::to_string(size) +
           ");\nV(c)=lift(E(1)*subst(c,'x,3));\nS(f)=factormodSQF(f);\n";
    } else {
      s += std::string("g=ffgen(Mod(1,2)*(") +
           (size == 256 ? "y^8+y^4+y^3+y^2+1" : "y^16+y^12+y^3+y+1") +
           "),'y);\nT=vector(100,i,subst(Pol(binary(i-1),'z),'z,g));\nE(c)=T[c+1];\n"
           "F(e)=if(type(e)==\"t_FFELT\",subst(e.pol,'y,2),lift(e));\nV(c)=F(subst(c,'x,E(3)));\n"
           "S(f)=factormodSQF(f);\n";
    }
    for (int i = 0; i < 3; ++i) {
      const std::string c = std::string("c") + static_cast<char>('A' + i) + "(i-1)";
      const std::string below = std::string("c") + static_cast<char>('A' + (i + 1) % 3) + "(i-1)";
      s += std::string(1, static_cast<char>('A' + i)) + "(d)=Polrev(vector(d+1,i," +
           (ring == Ring::q ? c + "/" + below : "E(" + c + ")") + "),'x);\n";
    }
    return s;
  }
  std::string operand(const Operand& o, Ring, std::int64_t n) const override {
    const std::string d = std::to_string(size_of(o.size, n));
    if (o.builder == 'X') return "x^" + d;
    if (o.builder == 'E') return "Polrev(vector(" + d + "+1,i,E(1)),'x)";
    if (o.builder == 'D') return "-x^" + d + "+x^7-2";
    if (o.builder >= 'I') return integer_text(o.builder, size_of(o.size, n));
    return std::string(1, o.builder) + "(" + d + ")";
  }
  std::string assign(const std::string& target, const std::string& value) const override {
    return target + "=" + value + ";\n";
  }
  std::string ring_change(Ring) const override { return ""; }
  std::string timed(const std::string& statement, long reps, int runs, bool looped) const override {
    const std::string loop =
        looped ? "for(i=1," + std::to_string(reps) + "," + statement + ")" : statement;
    std::string s = "print(\"@@go\");\n";
    for (int i = 0; i < runs; ++i)
      s += "tt=getabstime();" + loop + ";tt=getabstime()-tt;\nprint(\"@@time \",tt);\n";
    return s + "print(\"@@end\");\n";
  }
  std::string print(const std::string& value) const override {
    return "print(\"@@v \"," + value + ");\n";
  }
  std::string check_change(Ring) const override { return ""; }
  std::string degree(const std::string& v) const override { return "poldegree(" + v + ")"; }
  std::string lead(const std::string& v) const override { return "pollead(" + v + ")"; }
  std::string value(const std::string& v) const override { return "V(" + v + ")"; }
  std::string quit() const override { return "\\q\n"; }
  const char* lap() const override { return "@@time"; }
  const char* words(const Coefficient& c) const override { return c.gp; }
  std::vector<double> milliseconds(const std::string& timed) const override {
    return reported_milliseconds(timed);
  }
};

// Singular, for the rows in several variables: their set-up declares the
// ring and every variable the statement assigns (a loop may not declare
// one), and computes the checked numbers in its post.
class Singular : public Language {
 public:
  std::string command() const override { return "Singular -q --no-warn %s"; }
  const char* statement(const Operation& op) const override { return op.singular; }
  const char* post(const Operation& op) const override { return op.singular_post; }
  const char* setup(const Operation& op) const override { return op.singular_setup; }
  // timer counts milliseconds of processor time; V gives a number modulo
  // the checking prime, from 0 to P - 1
  std::string preamble(Ring) const override {
    return "system(\"--ticks-per-sec\",1000);\nint tt; int ii;\nbigint P = " +
           std::to_string(check_prime) +
           ";\nproc V(bigint c) { bigint r = ((c mod P) + P) mod P; return(r); }\n";
  }
  std::string operand(const Operand&, Ring, std::int64_t) const override { return ""; }
  std::string assign(const std::string& target, const std::string& value) const override {
    return target + " = " + value + ";\n";
  }
  std::string ring_change(Ring) const override { return ""; }
  std::string timed(const std::string& statement, long reps, int runs, bool looped) const override {
    const std::string loop =
        looped ? "for (ii = 1; ii <= " + std::to_string(reps) + "; ii++) { " + statement + "; }"
               : statement + ";";
    std::string s = "print(\"@@go\");\n";
    for (int i = 0; i < runs; ++i)
      s += "tt = timer; " + loop + " tt = timer - tt;\nprint(\"@@time \" + string(tt));\n";
    return s + "print(\"@@end\");\n";
  }
  std::string print(const std::string& value) const override {
    return "print(\"@@v \" + string(" + value + "));\n";
  }
  std::string check_change(Ring) const override { return ""; }
  std::string degree(const std::string& v) const override { return "deg(" + v + ")"; }
  std::string lead(const std::string& v) const override { return "leadcoef(" + v + ")"; }
  std::string value(const std::string& v) const override { return "V(" + v + ")"; }
  std::string quit() const override { return "quit;\n"; }
  const char* lap() const override { return "@@time"; }
  const char* words(const Coefficient& c) const override { return c.gp; }
  std::vector<double> milliseconds(const std::string& timed) const override {
    return reported_milliseconds(timed);
  }
};

struct Options {
  bool short_form = false;
  int jobs = 1;
  double limit = 20;     // seconds a side may take for one size
  double loop = 0.1;     // seconds a timing loop aims at
  int runs = 3;          // timings of which the best counts
  int attempts = 4;      // runs of a program at one size, its loop lengthened
  bool scripts = false;  // print the scripts of the first size instead
  std::vector<std::string> patterns;
};

Options options;

const char* const usage =
    "bench_sweep [--short] [--jobs N] [--limit SECONDS] [--scripts] [--help] [PATTERN ...]\n"
    "Times every operation of the sweep's rows at doubling sizes in Tavrin, gp, FLINT and "
    "Singular, and\n"
    "prints each row's times, growth exponents over its last three sizes, ratios and flags.\n"
    "Every size of a row is timed the same way by every side: the best of three timings (each a "
    "loop of\n"
    "runs when one run is short) in one program run, or one timing for rows whose operation leaves "
    "a\n"
    "cache. A side stops at a size that passes the limit (--limit, 20 s a timing), and goes on to "
    "the next\n"
    "size while one run takes at most a quarter of the limit and its timings in the row add up to "
    "at\n"
    "most the limit. A PATTERN keeps the rows whose operation or ring contains it.\n"
    "--short (or TAVRIN_SWEEP=short): three small sizes a row, one timing, a limit of 1 s, 4 "
    "jobs.\n"
    "--scripts prints the programs' scripts at the first size instead of running them.\n";

// One side of the comparison: a language, or FLINT (lang nil).
struct Side {
  const char* name;
  const Language* lang;
};

bool takes_part(const Side& side, const Row& row) {
  if (side.lang == nullptr) {
#ifdef TAVRIN_PEER_FLINT
    return row.op->flint != Flint::none;
#else
    return false;
#endif
  }
  return *side.lang->statement(*row.op) != '\0';
}

// How a program side is timed at the next size: the runs of its loop, and
// the time one run is expected to take (0: not known).
struct Pace {
  long reps = 1;
  double expected = 0;
};

// The timings of a side at each size of the row: options.runs, or one
// when the operation may hit a cache.
int timings_of(const Row& row) { return row.op->repeat ? options.runs : 1; }

// Measures a side at size n: the best of timings_of(row) timings of a loop
// of runs, the same number at every size. The best leaves out the first
// touch of fresh memory, which Tavrin's timer counts (processor time, user
// and system) and gp's does not (user time). The loop is lengthened while
// it takes under a fifth of options.loop (the programs' timers count
// milliseconds); an overrun of a loop of several runs is measured again
// with one run a timing. The pace is then fitted to the next size, about
// 2.5 times slower.
Measure measure(const Side& side, const Row& row, std::int64_t n, Pace* pace) {
  const double setup = 10 * options.limit;
  const int runs = timings_of(row);
#ifdef TAVRIN_PEER_FLINT
  if (side.lang == nullptr) {  // the limit for all its timings together
    const ProgramRun r = run_forked(
        [&] {
          flint_row(row, n, {options.loop, runs});
        },
        {"@@go", "@@end", runs * options.limit, setup});
    return read_measure(r, 1, reported_milliseconds);
  }
#endif
  constexpr long most = 100000;
  const bool repeat = row.op->repeat;
  Measure m;
  for (int attempt = 0; attempt < options.attempts; ++attempt) {
    const ProgramRun r =
        run_program(side.lang->command(), side.lang->script(row, n, pace->reps, runs),
                    {"@@go", "@@end", options.limit, setup, side.lang->lap()});
    m = read_measure(r, pace->reps,
                     [&](const std::string& t) { return side.lang->milliseconds(t); });
    const double total = m.seconds * static_cast<double>(pace->reps);
    if (std::isinf(total) && !m.setup_overran && pace->reps > 1) {
      *pace = {1, options.limit};
      continue;
    }
    if (!repeat || !std::isfinite(total) || total >= options.loop / 5 || pace->reps >= most) break;
    pace->reps = std::min(
        most, pace->reps * (total > 0 ? std::lround(std::ceil(options.loop / total)) : 64));
  }
  if (finished(m.seconds)) {
    pace->expected = 2.5 * m.seconds;
    if (repeat) pace->reps = std::clamp(std::lround(options.loop / pace->expected), 1L, most);
  }
  return m;
}

// The values as compared. Tavrin shows a number of a prime field's
// arithmetic above p/2 and below p less p (residues, and a degree or count
// read there), gp and FLINT from 0 to p - 1: a negative value gains p.
std::vector<std::string> normalised(const Row& row, const std::vector<std::string>& values) {
  const std::int64_t p = check_field(row.ring);
  std::vector<std::string> out;
  for (const std::string& v : values) {
    char* rest = nullptr;
    const long long x = std::strtoll(v.c_str(), &rest, 10);
    out.push_back(x < 0 && *rest == '\0' && !char2(row.ring) ? std::to_string(x + p) : v);
  }
  return out;
}

struct RowResult {
  std::vector<double> sizes;
  std::vector<std::vector<double>> times;  // by side, by size
  std::vector<std::string> notes;          // errors and mismatches, as they came
  bool mismatch = false;
  bool failed = false;             // Tavrin gave an error or no answer (not a timeout)
  std::vector<std::size_t> peers;  // the sides that take part, which the flags compare with
};

// The sizes of a row: its own, or doubling from its first to its last. The
// short form runs the first three, a quarter as large.
std::vector<std::int64_t> row_sizes(const Row& row) {
  std::vector<std::int64_t> sizes = row.sizes;
  if (sizes.empty())
    for (std::int64_t n = row.first; n <= row.last; n *= 2) sizes.push_back(n);
  if (options.short_form) {
    if (sizes.size() > 3) sizes.resize(3);
    for (std::int64_t& n : sizes) n = std::max<std::int64_t>(1, n / 4);
  }
  return sizes;
}

std::string seconds_text(double t) {
  if (std::isnan(t)) return "-";
  if (std::isinf(t)) return ">" + std::to_string(static_cast<int>(options.limit));
  char b[32];
  std::snprintf(b, sizeof b, t < 0.001 ? "%.2e" : "%.3g", t);
  return b;
}

std::string number_text(double x, const char* format) {
  if (!std::isfinite(x)) return "-";
  char b[32];
  std::snprintf(b, sizeof b, format, x);
  return b;
}

std::string row_title(const Row& row) {
  return std::string(row.op->name) + " [" + info(row.ring).name + "]";
}

RowResult run_row(const Row& row, const std::vector<Side>& sides) {
  RowResult res;
  res.times.resize(sides.size());
  std::vector<Pace> pace(sides.size());
  std::vector<bool> active(sides.size(), true);  // a peer past its limit is not run again
  std::vector<double> spent(sides.size(), 0);    // seconds of each side's timings in the row
  for (std::size_t s = 1; s < sides.size(); ++s)
    if (takes_part(sides[s], row)) res.peers.push_back(s);
  for (const std::int64_t n : row_sizes(row)) {
    res.sizes.push_back(static_cast<double>(n));
    std::vector<Measure> m(sides.size());
    for (std::size_t s = 0; s < sides.size(); ++s) {
      if (active[s] && takes_part(sides[s], row)) m[s] = measure(sides[s], row, n, &pace[s]);
      res.times[s].push_back(m[s].seconds);
      if (!m[s].error.empty())
        res.notes.push_back(std::string(sides[s].name) + " at " + std::to_string(n) + ": " +
                            m[s].error);
      if (s == 0 && !m[s].error.empty() && std::isnan(m[s].seconds)) res.failed = true;
    }
    for (std::size_t s = 1; s < sides.size(); ++s) {
      if (!std::isfinite(m[0].seconds) || !std::isfinite(m[s].seconds) || m[0].values.empty() ||
          m[s].values.empty())
        continue;
      const std::vector<std::string> a = normalised(row, m[0].values),
                                     b = normalised(row, m[s].values);
      if (a == b) continue;
      res.mismatch = true;
      std::string note = std::string("*** MISMATCH at ") + std::to_string(n) + ": Tavrin";
      for (const std::string& v : a) note += " " + v;
      note += std::string(", ") + sides[s].name;
      for (const std::string& v : b) note += " " + v;
      res.notes.push_back(note);
    }
    // a side goes on to the next size unless it failed, was stopped, took
    // over a quarter of the limit or spent its time in the row; the row ends
    // with ours
    for (std::size_t s = 0; s < sides.size(); ++s) {
      if (std::isfinite(m[s].seconds)) spent[s] += timings_of(row) * m[s].seconds;
      active[s] = active[s] && goes_on(m[s].seconds, spent[s], options.limit);
    }
    if (!active[0]) break;
  }
  return res;
}

// The flags of a row against each peer that takes part in it: a row slower
// than 3x the fastest peer is SLOW against that one at least.
std::vector<std::string> row_flags(const RowResult& r, const std::vector<Side>& sides) {
  std::vector<std::string> flags;
  if (r.failed) flags.push_back("FAILED");
  for (const std::size_t p : r.peers) {
    const Comparison c = compare_sides(r.sizes, r.times[0], r.times[p]);
    const std::string against = std::string("(") + sides[p].name + ")";
    if (c.slow) flags.push_back("SLOW" + against);
    if (c.steep) flags.push_back("STEEP" + against);
    if (c.wall) flags.push_back("WALL" + against);
  }
  if (r.mismatch) flags.push_back("MISMATCH");
  return flags;
}

// The block of a row: its sizes, then each side's times, exponent and
// ratio, its notes and flags.
std::string row_block(const Row& row, const RowResult& r, const std::vector<Side>& sides) {
  std::string t = row_title(row) + "\n          ";
  for (double n : r.sizes) t += number_text(n, "%10.0f");
  t += "\n";
  for (std::size_t s = 0; s < sides.size(); ++s) {
    if (std::all_of(r.times[s].begin(), r.times[s].end(), [](double x) { return std::isnan(x); }))
      continue;
    char name[16];
    std::snprintf(name, sizeof name, "  %-8s", sides[s].name);
    t += name;
    for (double x : r.times[s]) {
      const std::string v = seconds_text(x);
      t += std::string(v.size() < 10 ? 10 - v.size() : 1, ' ') + v;
    }
    if (s > 0) {
      const Comparison c = compare_sides(r.sizes, r.times[0], r.times[s]);
      t += "   exponent " + number_text(c.peer_exponent, "%.2f") + " (Tavrin " +
           number_text(c.exponent, "%.2f") + "), Tavrin/" + sides[s].name + " " +
           number_text(c.ratio, "%.2f");
    }
    t += "\n";
  }
  for (const std::string& note : r.notes) t += "  " + note + "\n";
  const std::vector<std::string> flags = row_flags(r, sides);
  if (!flags.empty()) {
    t += "  flagged:";
    for (const std::string& f : flags) t += " " + f;
    t += "\n";
  }
  return t;
}

// The summary line of a row: at its largest size, Tavrin's time and
// exponent, each peer's exponent and ratio, and the flags.
std::string summary_line(const Row& row, const RowResult& r, const std::vector<Side>& sides) {
  std::string line = "| " + row_title(row) + " | ";
  std::size_t last = r.sizes.size();
  while (last > 0 && std::isnan(r.times[0][last - 1])) --last;
  line += last > 0
              ? number_text(r.sizes[last - 1], "%.0f") + " | " + seconds_text(r.times[0][last - 1])
              : "- | -";
  for (std::size_t s = 1; s < sides.size(); ++s) {
    const Comparison c = compare_sides(r.sizes, r.times[0], r.times[s]);
    line += " | " + number_text(c.exponent, "%.2f") + " / " + number_text(c.peer_exponent, "%.2f") +
            " | " + number_text(c.ratio, "%.2f");
  }
  line += " |";
  for (const std::string& f : row_flags(r, sides)) line += " " + f;
  return line + " |";
}

bool selected(const Row& row) {
  if (options.patterns.empty()) return true;
  const std::string title = row_title(row);
  return std::any_of(options.patterns.begin(), options.patterns.end(),
                     [&](const std::string& p) { return title.find(p) != std::string::npos; });
}

}  // namespace

int main(int argc, char** argv) {
  if (const char* e = std::getenv("TAVRIN_SWEEP"))
    options.short_form = std::strcmp(e, "short") == 0;
  bool jobs_given = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--short") == 0)
      options.short_form = true;
    else if (std::strcmp(argv[i], "--jobs") == 0 && i + 1 < argc)
      options.jobs = std::max(1, std::atoi(argv[++i])), jobs_given = true;
    else if (std::strcmp(argv[i], "--limit") == 0 && i + 1 < argc)
      options.limit = std::atof(argv[++i]);
    else if (std::strcmp(argv[i], "--scripts") == 0)
      options.scripts = true;
    else if (std::strcmp(argv[i], "--help") == 0) {
      std::printf("%s", usage);
      return 0;
    } else
      options.patterns.push_back(argv[i]);
  }
  if (options.short_form) {
    options.limit = std::min(options.limit, 1.0);
    options.loop = 0.01;
    options.runs = 1;
    options.attempts = 1;
    if (!jobs_given) options.jobs = 4;
  }
  const Tavrin tavrin;
  const Gp gp;
  std::vector<Side> sides{{"Tavrin", &tavrin}};
  const Singular singular;
  if (on_path("gp")) sides.push_back({"gp", &gp});
#ifdef TAVRIN_PEER_FLINT
  sides.push_back({"FLINT", nullptr});
#endif
  if (on_path("Singular")) sides.push_back({"Singular", &singular});
  std::vector<Row> rows;
  for (const Row& r : sweep_rows())
    if (selected(r)) rows.push_back(r);
  if (options.scripts) {
    for (const Row& r : rows)
      for (const Side& side : sides)
        if (side.lang != nullptr && takes_part(side, r))
          std::printf("%s, %s at %lld:\n%s\n", row_title(r).c_str(), side.name,
                      static_cast<long long>(r.first), side.lang->script(r, r.first, 1, 1).c_str());
    return 0;
  }
  std::printf(
      "The sweep: seconds for one run at each size, every size and side timed alike: the best of "
      "%d timings in "
      "one program run (1 for rows with a cache), limit %g s a timing%s.\n\n",
      options.runs, options.limit, options.short_form ? ", short form" : "");
  std::fflush(stdout);
  std::vector<RowResult> results(rows.size());
  std::atomic<std::size_t> next{0};
  std::mutex out;
  auto work = [&] {
    for (std::size_t i; (i = next++) < rows.size();) {
      results[i] = run_row(rows[i], sides);
      const std::lock_guard<std::mutex> lock(out);
      std::printf("%s\n", row_block(rows[i], results[i], sides).c_str());
      std::fflush(stdout);
    }
  };
  std::vector<std::thread> workers;
  for (int j = 0; j < options.jobs; ++j) workers.emplace_back(work);
  for (std::thread& w : workers) w.join();
  std::string head = "| row | largest n | Tavrin s";
  std::string rule = "|---|---:|---:";
  for (std::size_t s = 1; s < sides.size(); ++s) {
    head += std::string(" | exponent Tavrin / ") + sides[s].name + " | Tavrin/" + sides[s].name;
    rule += "|---:|---:";
  }
  std::printf("%s | flags |\n%s|---|\n", head.c_str(), rule.c_str());
  int flagged = 0;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    flagged += !row_flags(results[i], sides).empty();
    std::printf("%s\n", summary_line(rows[i], results[i], sides).c_str());
  }
  std::printf("\n%d of %zu rows flagged.\n", flagged, rows.size());
  return 0;
}
