// The program against hostile input: seeded random files of statements
// (every operator, built-in, "&" command, valued setting, control statement,
// function definition and array form, "&" commands and calls read as operands
// inside expressions, and the transcript inputs mutated)
// piped into the real executable, which must end by itself, in time, with
// no signal, no sanitizer report and no internal-error line. In the
// sanitizer build the executable is the sanitized one.
//
// Each shard runs its own inputs; TAVRIN_TEST_SEED changes them and
// TAVRIN_TEST_MULTIPLIER scales their number. An input that fails is written
// beside the test's temporary files and named in the failure; keep it in
// tests/fuzz_regressions/ (NAME.in), where every input is run each time.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/bigref.h"

namespace tavrin::test {
namespace {

namespace fs = std::filesystem;

const fs::path executable = TAVRIN_TEST_EXECUTABLE;
const fs::path root = fs::path(TAVRIN_TEST_SOURCE_DIR).parent_path().parent_path();
const fs::path transcripts = root / "tests" / "transcripts";
const fs::path regressions = root / "tests" / "fuzz_regressions";

constexpr int shards = 12;
constexpr int runs_per_shard = 20;   // before the multiplier
constexpr int seconds_allowed = 60;  // a run that takes longer hangs

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void write_file(const fs::path& p, const std::string& text) {
  std::ofstream(p, std::ios::binary | std::ios::trunc) << text;
}

// ---- The generator ------------------------------------------------------------------

// The built-in names, from the source of the data file of messages.
std::vector<std::string> builtin_names() {
  std::istringstream in(read_file(root / "data" / "qerrs_source.txt"));
  std::vector<std::string> names;
  std::string line;
  bool table = false;
  while (std::getline(in, line)) {
    if (line == "[builtins]") {
      table = true;
      continue;
    }
    if (!table || line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string index, name;
    fields >> index >> name;
    names.push_back(name);
  }
  return names;
}

class Generator {
 public:
  explicit Generator(std::uint64_t seed) : rng_(seed) {}

  // A file of `count` statements, one a line (a few run over lines or
  // leave the file unfinished), after a prologue that gives most names
  // something to refer to.
  std::string file(int count) {
    std::string text;
    static const char* const prologue[] = {
        "&(J = x)",
        "&(J = y)",
        "&(J = t)",
        "a := 3: b := 2/5: c := x^2 + y: u := 7: v := (x + 1)/(y - 2): w := 0: z1 := t^3:",
        "Array m[3,3]: [m] := [<i = 1, 3><j = 1, 3> i + 2*j - 3]:",
        "Array s[4,4] Sparse: s[1,1] := 2: s[2,3] := x: s[4,2] := 5:",
        "Array r[2,2]: [r] := [[1, 2], [3, 4]]:",
        "Array g[3]: g[1] := 1: g[3] := y:",
        "Array m2[2,2]: Array g2[2]: Array s2[2,2] Sparse:",
        "Func F(p) = p + 1.",
        "Func G(p, ^r) = r := r + p; p.",
        "Func H(p, [ar]) = ar[1] + p.",
        "Function K = 5.",
        "Func L(p, ^r, [ar]) = r := p; 0."};
    for (const char* line : prologue)
      if (pick(8) != 0) text += std::string(line) + "\n";
    if (pick(4) == 0) text += ring_change() + "\n";
    for (int k = 0; k < count; ++k) text += statement(0) + end() + "\n";
    if (pick(8) == 0) text += unfinished();
    return text;
  }

  std::string statement(int depth) {
    switch (pick(depth > 1 ? 12 : 17)) {
      case 0:
      case 1: return var() + " := " + expr(0);
      case 2: return var() + (pick(2) ? " :+ " : " :* ") + expr(1);
      case 3: return expr(0);
      case 4: return builtin_call();
      case 5: return element() + " := " + expr(1);
      case 6: return array_statement();
      case 7: return output();
      case 8: return command();
      case 9: return setting();
      case 10: return cancel();
      case 11: return "Array " + array_name() + dims() + (pick(3) == 0 ? " Sparse" : "");
      case 12: return control(depth);
      case 13: return control(depth);
      case 14: return definition();
      case 15: return call();
      default: return ring_change();
    }
  }

 private:
  int pick(int n) { return static_cast<int>(rng_() % static_cast<std::uint64_t>(n)); }
  template <class T, std::size_t N>
  const T& one_of(const T (&a)[N]) {
    return a[static_cast<std::size_t>(pick(static_cast<int>(N)))];
  }

  std::string end() { return pick(3) == 0 ? ";" : ":"; }
  std::string var() {
    static const char* const v[] = {"a", "b", "c", "u", "v", "w", "z1", "q_2"};
    return one_of(v);
  }
  std::string poly_var() {
    static const char* const v[] = {"x", "y", "t"};
    return one_of(v);
  }
  std::string array_name() {
    static const char* const v[] = {"m", "s", "r", "g"};
    return one_of(v);
  }
  std::string number() {
    switch (pick(10)) {
      case 0: return "0";
      case 1: return std::to_string(pick(300) + 100);
      case 2: return "2147483647";
      case 3: return "123456789012345678901234567890";
      case 4: return std::to_string(pick(9) + 1) + "." + std::to_string(pick(99));
      default: return std::to_string(pick(20));
    }
  }
  std::string dims() {
    const int r = 1 + pick(4);
    return pick(4) == 0 ? "[" + std::to_string(r) + "]"
                        : "[" + std::to_string(r) + "," + std::to_string(1 + pick(4)) + "]";
  }
  std::string index() { return std::to_string(pick(6)); }
  std::string element() {
    return array_name() + "[" + index() + (pick(3) ? "," + index() : "") + "]";
  }
  std::string operand() {
    switch (pick(6)) {
      case 0: return "[" + array_name() + "[1~2, " + index() + "]]";
      case 1: return "[%[" + index() + "]]";
      case 2: return "[<]";
      default: return "[" + array_name() + "]";
    }
  }

  std::string expr(int depth) {
    if (depth > 2) return atom();
    static const char* const binary[] = {" + ", " - ", "*", "/", "//", "\\", "|", "^"};
    switch (pick(11)) {
      case 0:
      case 1:
      case 2: return atom();
      case 3: return "(" + expr(depth + 1) + ")";
      case 4: return "-" + expr(depth + 1);
      case 5: {
        const std::string op = one_of(binary);
        return expr(depth + 1) + op + (op == "^" ? std::to_string(pick(13) - 2) : expr(depth + 1));
      }
      case 6: {  // no "^" here: a computed exponent could ask for days of work
        static const char* const flat[] = {" + ", " - ", "*", "/", "//", "\\", "|"};
        return expr(depth + 1) + one_of(flat) + expr(depth + 1);
      }
      case 7: {
        static const char* const unary[] = {"!", "$", "|"};
        const std::string op = one_of(unary);
        return op == "|" ? "|" + expr(depth + 1) + "|" : std::to_string(pick(9)) + op;
      }
      case 8: return builtin_call();
      case 9: return expr(depth + 1) + " + " + (pick(4) == 0 ? call() : command_operand());
      default: return "Sigma<k = 1, " + std::to_string(pick(5)) + ">[" + expr(depth + 1) + "]";
    }
  }
  // An "&" command read as an operand, after an operand already read: the
  // changes of ring, variables and Laurent mode, and the other commands.
  std::string command_operand() {
    static const char* const inside[] = {"&(J = s)",
                                         "&(J = -t)",
                                         "&(J > z)",
                                         "&(J = -y)",
                                         "&(l = 1)",
                                         "&(l = 0)",
                                         "&l",
                                         "&(p = 7)",
                                         "&(p = _i)",
                                         "&(p = 97 : a)",
                                         "&(P = t^2 + 1)",
                                         "&(P = x^3)",
                                         "&(J = w, P = w^2 - 2)",
                                         "&J\nr",
                                         "&P\nx^2 + 1",
                                         "&p\n7"};
    switch (pick(4)) {
      case 0: return setting();
      case 1: return command();
      default: return one_of(inside);
    }
  }
  std::string atom() {
    switch (pick(12)) {
      case 0:
      case 1:
      case 2: return number();
      case 3:
      case 4: return var();
      case 5:
      case 6: return poly_var();
      case 7: return element();
      case 8: return "'" + std::string(1, static_cast<char>('a' + pick(26))) + "'";
      case 9: return "Product<i = 1, 3>[i + " + poly_var() + "]";
      case 10: return poly_var() + "#(" + number() + ")";
      default: return "Var(" + std::to_string(pick(3)) + ")";
    }
  }

  std::string builtin_call() {
    static const std::vector<std::string> names = builtin_names();
    const std::string& name = names[static_cast<std::size_t>(pick(static_cast<int>(names.size())))];
    if (name == "Func" || name == "Function" || name == "Array") return expr(2);
    std::string args;
    const int count = pick(4);
    for (int k = 0; k < count; ++k) {
      if (k > 0) args += ", ";
      switch (pick(6)) {
        case 0: args += operand(); break;
        case 1: args += "^" + var(); break;
        case 2: args += "[" + array_name() + (pick(2) ? "2" : "") + "]"; break;
        default: args += expr(2);
      }
    }
    switch (pick(4)) {
      case 0: return name + operand();
      case 1: return name + "<k = 1, 3>[" + expr(2) + "]";
      default: return name + "(" + args + ")";
    }
  }

  std::string array_statement() {
    const std::string a = "[" + array_name() + "]";
    switch (pick(9)) {
      case 0: return a + " := " + std::to_string(pick(9));
      case 1: return a + " := [[1, 2], [3, " + var() + "]]";
      case 2: return a + " := " + operand() + " * " + operand();
      case 3: return a + " := Trans " + operand();
      case 4: return "Diag " + a + " := " + expr(2);
      case 5: return a + " := [<i = 1, 2><j = 1, 3> i*j + " + poly_var() + "]";
      case 6: return a + " := " + operand() + " + " + operand() + " ^ " + std::to_string(pick(4));
      case 7: return "[" + array_name() + "[1~2, 2]] := [(" + number() + ", " + number() + ")]";
      default: return a + " :* " + operand();
    }
  }

  std::string output() {
    switch (pick(5)) {
      case 0: return "!" + expr(2);
      case 1: return "!!" + operand();
      case 2: return "!('text ''quoted''', " + expr(2) + ":6, 65:char)";
      case 3: return "!(&o, " + expr(2) + ")";
      default: return "?" + var() + "\n" + number();
    }
  }

  std::string command() {
    static const char* const bare[] = {
        "&t",          "&e",      "&N",      "&E",          "&U",          "&2",    "&5",
        "&A\n50",      "&O",      "&X\n400", "&Z",          "&_d\n70",     "&_n x", "&_t",
        "&b",          "&c",      "&m\n1",   "&n",          "&a",          "&d\n5", "&f*",
        "&F*",         "&g",      "&G",      "&h",          "&l",          "&v;",   "&v:",
        "&x",          "&>",      "&]",      "&}",          "&@",          "&_p",   "&_s",
        "&T",          "&C+",     "&C-",     "&D\n3",       "&u\n2",       "&K\n1", "&L\n10",
        "&#\n20",      "&M\nok>", "&H",      "&I",          "&V",          "&W",    "&B",
        "&|",          "&j",      "&_k\n12", "&_r\n3",      "&S\n'out.t'", "&s",    "&S\n@",
        "&R\n'out.t'", "&r\n@",   "&J\nt",   "&P\nt^2 + 1", "&p\n97",      "&p"};
    return one_of(bare);
  }

  std::string setting() {
    static const char* const valued[] = {
        "&(t = 1)",    "&(e = 0)",      "&(N = 1)",   "&(E = 0)",      "&(U = 0)",
        "&(V = 0)",    "&(W = 0)",      "&(# = 30)",  "&(A = 100)",    "&(X = 400)",
        "&(D = 3)",    "&(L = 50)",     "&(K = 1)",   "&(a = 1)",      "&(m = 1)",
        "&(n = 0)",    "&(u = 2)",      "&(l = 0)",   "&(H = 1)",      "&(O = 1)",
        "&(B = 1)",    "&(|= 1)",       "&(_l = 0)",  "&(_t = 1)",     "&(_s = 0)",
        "&(_d = 60)",  "&(_r = 5)",     "&(_L = 0)",  "&(& = 0)",      "&(M = 'ab''c>')",
        "&(M = '>')",  "&(S = 'st.t')", "&(S = '@')", "&(R = 'st.t')", "&(R = '@')",
        "&(Q = 1)",    "&(t = 2)",      "&(D = -1)",  "&(D = 45)",     "&(u = 9)",
        "&(X = 4584)", "&(_k = 1)"};
    return one_of(valued);
  }

  std::string ring_change() {
    static const char* const changes[] = {
        "&(p = 97)",        "&(p = 7 : a, *b)", "&(p = 65521)",   "&(p = 256)",
        "&(p = 6)",         "&(p = _i)",        "&(p = _i : **)", "&(p = 11 : **)",
        "&(p = 13 : *[m])", "&(J = x)",         "&(J = y)",       "&(J > t)",
        "&(J = -x)",        "&(J = -t)",        "&(P = x^2 + 1)", "&(P = t^3 + t + 1, 1)",
        "&(P = y^2 - 2)",   "&(P = -x)",        "&(l = 1)"};
    return one_of(changes);
  }

  std::string cancel() {
    switch (pick(4)) {
      case 0: return "@" + var();
      case 1: return "@[" + array_name() + "]";
      case 2: return "@(" + var() + ", [" + array_name() + "])";
      default: return "@[**]";
    }
  }

  std::string body(int depth) {
    std::string s;
    const int count = 1 + pick(3);
    for (int k = 0; k < count; ++k) s += (k > 0 ? "; " : "") + statement(depth + 1);
    return s;
  }

  std::string control(int depth) {
    switch (pick(5)) {
      case 0:
        return "if " + expr(2) + " < " + expr(2) + " then " + body(depth) + " else " + body(depth) +
               " fi";
      case 1: return "for i = 1 to " + std::to_string(pick(5)) + " do " + body(depth) + " od";
      case 2: return "for i = 3, 1, -1 do " + body(depth) + " od";
      // (a loop that counts would never end in characteristic 2)
      case 3: return "lc := 0; while lc = 0 do lc := 1; " + body(depth) + " od";
      default: return "for i = [" + array_name() + "] 1, 2 do " + body(depth) + " od";
    }
  }

  std::string definition() {
    static const char* const heads[] = {"Func F(p) =", "Func G(p, ^r) =", "Func H(p, [ar]) =",
                                        "Function K =", "Func L(p, ^r, [ar]) ="};
    return std::string(one_of(heads)) + " " + body(1) + "; " + expr(1) + ".";
  }

  std::string call() {
    switch (pick(5)) {
      case 0: return "F(" + expr(2) + ")";
      case 1: return "G(" + expr(2) + ", ^" + var() + ")";
      case 2: return "H(" + expr(2) + ", [" + array_name() + "])";
      case 3: return "L(1, " + element() + ", [" + array_name() + "])";
      default: return "K";
    }
  }

  // A statement the end of the file leaves open.
  std::string unfinished() {
    static const char* const open[] = {
        "while 1 do", "if 1 then", "for i = 1 to 3 do", "Func M(p) = p + 1", "!('abc",
        "x := 'a",    "{ comment", "&(M = 'xy",         "Sigma<k = 1, 2>[k", "[m] := [[1, 2"};
    return std::string(one_of(open)) + "\n";
  }

  std::mt19937_64 rng_;
};

// One transcript input changed a little: lines dropped, doubled or swapped,
// characters dropped or put in, the file cut short.
std::string mutate(const std::string& text, std::mt19937_64& rng) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  if (lines.empty()) lines.push_back("");
  auto pick = [&rng](std::size_t n) { return static_cast<std::size_t>(rng() % n); };
  const int edits = 1 + static_cast<int>(rng() % 4);
  for (int e = 0; e < edits; ++e) {
    std::string& l = lines[pick(lines.size())];
    switch (rng() % 7) {
      case 0: lines.erase(lines.begin() + static_cast<long>(pick(lines.size()))); break;
      case 1: lines.insert(lines.begin() + static_cast<long>(pick(lines.size())), l); break;
      case 2: std::swap(l, lines[pick(lines.size())]); break;
      case 3:
        if (!l.empty()) l.erase(pick(l.size()), 1);
        break;
      case 4: {
        static const char syntax[] = "'()[]{};:,&?!@^<>~#%$|`\"";
        l.insert(l.empty() ? 0 : pick(l.size() + 1), 1, syntax[pick(sizeof syntax - 1)]);
        break;
      }
      case 5:
        if (!l.empty()) l.resize(pick(l.size()));
        break;
      default: lines.resize(1 + pick(lines.size())); break;
    }
    if (lines.empty()) lines.push_back("");
  }
  std::string out;
  for (std::size_t k = 0; k < lines.size(); ++k)
    out += lines[k] + (k + 1 < lines.size() || rng() % 4 ? "\n" : "");
  return out;
}

// ---- Running the program ----------------------------------------------------------------

struct Outcome {
  bool ended = false;  // by itself, in time
  int status = -1;     // exit status, or -1
  int signal = 0;      // the signal that ended it, or 0
  std::string out, err;
};

// Runs the executable in `dir` (holding tvrstart.txt) with `input` on its
// standard input; killed after seconds_allowed.
Outcome run_program(const fs::path& dir, const std::string& input) {
  write_file(dir / "input.txt", input);
  const pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(126);
    const int in = open("input.txt", O_RDONLY);
    const int out = open("stdout.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = open("stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (in < 0 || out < 0 || err < 0) _exit(126);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    execl(executable.c_str(), executable.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  Outcome o;
  if (pid < 0) return o;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds_allowed);
  int wstatus = 0;
  for (;;) {
    const pid_t done = waitpid(pid, &wstatus, WNOHANG);
    if (done == pid) {
      o.ended = true;
      break;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &wstatus, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (o.ended && WIFEXITED(wstatus)) o.status = WEXITSTATUS(wstatus);
  if (o.ended && WIFSIGNALED(wstatus)) o.signal = WTERMSIG(wstatus);
  o.out = read_file(dir / "stdout.txt");
  o.err = read_file(dir / "stderr.txt");
  return o;
}

// What is wrong with a run, or "" when nothing is.
std::string fault_of(const Outcome& o) {
  if (!o.ended) return "no end within " + std::to_string(seconds_allowed) + " seconds";
  if (o.signal != 0) return "ended by signal " + std::to_string(o.signal);
  for (const char* report :
       {"AddressSanitizer", "LeakSanitizer", "runtime error:", "UndefinedBehaviorSanitizer"})
    if (o.err.find(report) != std::string::npos) return std::string("a report of ") + report;
  if (o.out.find("*** Tavrin error.") != std::string::npos) return "an internal error";
  if (o.status != 0) return "exit status " + std::to_string(o.status);
  return "";
}

class Fuzz : public testing::Test {
 protected:
  Fuzz() {
    dir_ =
        fs::temp_directory_path() / ("tavrin_fuzz_" + std::to_string(getpid()) + "_" +
                                     testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  ~Fuzz() override {
    if (!HasFailure()) fs::remove_all(dir_);
  }

  // Runs one input in a fresh directory; a failing input is kept in the
  // test's directory as NAME.in and named in the failure.
  void check(const std::string& name, const std::string& input) {
    const fs::path run = dir_ / "run";
    fs::remove_all(run);
    fs::create_directories(run);
    write_file(run / "tvrstart.txt", "100\n");
    const Outcome o = run_program(run, input);
    const std::string fault = fault_of(o);
    if (fault.empty()) return;
    const fs::path kept = dir_ / (name + ".in");
    write_file(kept, input);
    ADD_FAILURE() << name << ": " << fault << "\ninput kept in " << kept.string()
                  << " (keep it in tests/fuzz_regressions/)\n--- standard error:\n"
                  << o.err.substr(0, 3000) << "\n--- standard output (end):\n"
                  << o.out.substr(o.out.size() > 2000 ? o.out.size() - 2000 : 0);
  }

  fs::path dir_;
};

class FuzzShard : public Fuzz, public testing::WithParamInterface<int> {};

TEST_P(FuzzShard, RandomStatementFilesEndCleanly) {
  const int shard = GetParam();
  Generator gen(test_seed() * 7919 + static_cast<std::uint64_t>(shard));
  std::mt19937_64 rng(test_seed() + 104729 * static_cast<std::uint64_t>(shard));
  std::vector<fs::path> inputs;
  for (const auto& entry : fs::directory_iterator(transcripts))
    if (entry.path().extension() == ".in") inputs.push_back(entry.path());
  std::sort(inputs.begin(), inputs.end());
  ASSERT_FALSE(inputs.empty());
  const int runs = test_iterations(runs_per_shard);
  for (int k = 0; k < runs; ++k) {
    const std::string name = "shard" + std::to_string(shard) + "_" + std::to_string(k);
    if (k % 4 == 3) {  // a quarter are mutated transcripts
      const fs::path& t = inputs[static_cast<std::size_t>(rng() % inputs.size())];
      check(name + "_" + t.stem().string(), mutate(read_file(t), rng));
    } else {
      check(name, gen.file(10 + static_cast<int>(rng() % 30)));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Shards, FuzzShard, testing::Range(0, shards));

// Every input that ever failed.
TEST_F(Fuzz, KeptRegressionsEndCleanly) {
  ASSERT_TRUE(fs::is_directory(regressions)) << regressions;
  for (const auto& entry : fs::directory_iterator(regressions))
    if (entry.path().extension() == ".in")
      check(entry.path().stem().string(), read_file(entry.path()));
}

}  // namespace
}  // namespace tavrin::test
