// Whole statements beside PARI/GP and Singular, each program run on its own
// script as a separate process: the processor time of the run (user and
// system, of the child processes) less that of the same program on an
// empty script (start-up), the median of alternating runs, and the answers
// the scripts print compared.
//
// Rows:
//   sum 1/(x+i)    s := 0, then s := s + 1/(x + i) for i = 1 .. N over Q(x)
//                  (N = 1000; TAVRIN_SUM_N); checked by the constant terms
//                  of numerator and denominator
//   read flat      two literal polynomials of about 6 MB each in 8
//                  variables, 114,000 terms each, the terms in random order
//                  (gp's reader refuses a sum this long)
//   read nested    the same polynomials as the display writes them, nested
//                  by variable; both rows checked by the constant terms
//
//   compare_programs [row-prefix]     e.g. compare_programs read
// Peers serve this comparison only; a peer not on PATH is left out.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "peers.h"

namespace {

using tavrin::bench::on_path;
using tavrin::bench::wanted;

// A program and how to run it on a script.
struct Program {
  std::string name;
  std::string command;  // with %s for the script file, or reading it as input
  std::string empty;    // a script that does nothing
};

// Runs the program on the script; its processor seconds and what it printed.
double run(const Program& p, const std::string& script, std::string* out) {
  const tavrin::bench::ProgramRun r = tavrin::bench::run_program(p.command, script, {}, false);
  *out = r.out;
  return r.seconds;
}

// The lines of out that consist of digits (with a sign) alone, trimmed.
std::vector<std::string> number_lines(const std::string& out) {
  std::vector<std::string> r;
  std::istringstream s(out);
  std::string line, part;
  while (std::getline(s, part)) {
    // Tavrin continues a long number on the next line after a "`"
    while (!part.empty() && (part.back() == ' ' || part.back() == '\r')) part.pop_back();
    if (!part.empty() && part.back() == '`') {
      part.pop_back();
      line += part;
      continue;
    }
    line += part;
    std::string t;
    for (char c : line)
      if (c != ' ' && c != '\r' && c != '\\') t.push_back(c);
    if (t.empty()) continue;
    bool digits = true;
    for (std::size_t i = 0; i < t.size(); ++i)
      digits = digits && ((t[i] >= '0' && t[i] <= '9') || (i == 0 && t[i] == '-'));
    if (digits) r.push_back(t);
    line.clear();
  }
  return r;
}

// Times each program on its script (runs alternate), start-up subtracted;
// prints the row and whether the checked numbers agree with Tavrin's.
void compare(const char* row, const char* size, const std::vector<Program>& programs,
             const std::vector<std::string>& scripts, int reps) {
  const std::size_t k = programs.size();
  std::vector<std::vector<double>> times(k);
  std::vector<double> base(k, 0.0);
  std::vector<std::vector<std::string>> answers(k);
  for (std::size_t j = 0; j < k; ++j) {
    std::string ignored;
    std::vector<double> b;
    for (int r = 0; r < 3; ++r) b.push_back(run(programs[j], programs[j].empty, &ignored));
    base[j] = tavrin::bench::median(b);
  }
  for (int r = 0; r < reps; ++r) {
    for (std::size_t j = 0; j < k; ++j) {
      std::string out;
      times[j].push_back(run(programs[j], scripts[j], &out) - base[j]);
      if (r == 0) answers[j] = number_lines(out);
    }
  }
  const double ours = tavrin::bench::median(times[0]);
  for (std::size_t j = 1; j < k; ++j) {
    const double peer = tavrin::bench::median(times[j]);
    // The peer's last numbers are the checked ones.
    const std::vector<std::string>& a = answers[0];
    const std::vector<std::string>& b = answers[j];
    const std::size_t n = std::min<std::size_t>(2, std::min(a.size(), b.size()));
    bool same = n == 2;
    for (std::size_t i = 0; i < n; ++i) same = same && a[a.size() - n + i] == b[b.size() - n + i];
    std::printf("%-16s %-30s Tavrin %8.3f s   %-9s %8.3f s   %6.2fx  %s\n", row, size, ours,
                programs[j].name.c_str(), peer, peer > 0 ? ours / peer : 0.0,
                same ? "same" : "DIFFERENT");
  }
  std::fflush(stdout);
}

Program tavrin_program() { return {"Tavrin", TAVRIN_EXECUTABLE, "&q\n"}; }
Program gp_program() { return {"gp", "gp -q --default parisize=2000000000", "\\q\n"}; }
Program singular_program() { return {"Singular", "Singular -q --no-warn %s", "quit;\n"}; }

void sum_row() {
  if (!wanted("sum")) return;
  int n = 1000;
  if (const char* e = std::getenv("TAVRIN_SUM_N")) n = std::atoi(e);
  const std::string N = std::to_string(n);
  std::vector<Program> progs{tavrin_program()};
  std::vector<std::string> scripts{
      "&(J = x)\ns := 0:\nfor i = 1 to " + N +
      " do s := s + 1/(x+i) od:\nNmcoef(Numer(s), 1);\nNmcoef(Denom(s), 1);\n&q\n"};
  if (on_path("Singular")) {
    progs.push_back(singular_program());
    scripts.push_back(
        "ring r = (0,x), y, dp;\nnumber s = 0; int i;\nfor (i = 1; i <= " + N +
        "; i++) { s = s + 1/(x+i); }\nnumber nn = numerator(s); number dd = denominator(s);\n"
        "ring r2 = 0, x, dp;\npoly pn = imap(r, nn); poly pd = imap(r, dd);\n"
        "print(jet(pn, 0)); print(jet(pd, 0));\nquit;\n");
  }
  if (on_path("gp")) {
    progs.push_back(gp_program());
    scripts.push_back("s=0;for(i=1," + N +
                      ",s+=1/(x+i));\nprint(polcoef(numerator(s),0));\n"
                      "print(polcoef(denominator(s),0));\n\\q\n");
  }
  const std::string size = "i = 1 .. " + N;
  compare("sum 1/(x+i)", size.c_str(), progs, scripts, 3);
}

// A random polynomial in a .. h: `terms` distinct monomials with exponents
// 0 .. 6 (most variables absent), coefficients of 28 to 40 digits, random
// signs, and the constant term c. Flat: the terms in random order, joined
// by signs. Nested: as the display writes it on one line, grouped by the
// powers of a, then of b inside, ..., "(...)*a^3+(...)*a^2+...".
struct Literal {
  std::vector<std::pair<std::vector<int>, std::string>> terms;  // exponents, signed digits
};

Literal random_terms(std::mt19937_64& rng, int terms, const std::string& c) {
  std::set<std::vector<int>> seen;
  Literal r;
  while (static_cast<int>(seen.size()) < terms) {
    std::vector<int> e(8);
    int total = 0;
    for (int& x : e) {
      x = rng() % 10 < 6 ? static_cast<int>(rng() % 7) : 0;
      total += x;
    }
    if (total == 0 || !seen.insert(e).second) continue;
    std::string d = rng() % 2 ? "-" : "";
    const int digits = 28 + static_cast<int>(rng() % 13);
    d.push_back(static_cast<char>('1' + rng() % 9));
    for (int k = 1; k < digits; ++k) d.push_back(static_cast<char>('0' + rng() % 10));
    r.terms.emplace_back(e, d);
  }
  r.terms.emplace_back(std::vector<int>(8, 0), c);
  return r;
}

const char* const var_names = "abcdefgh";

std::string flat_text(const Literal& l) {
  std::string s;
  for (const auto& [e, d] : l.terms) {
    if (d[0] != '-' && !s.empty()) s += "+";
    s += d;
    for (int v = 0; v < 8; ++v) {
      if (e[static_cast<std::size_t>(v)] == 0) continue;
      s += "*";
      s.push_back(var_names[v]);
      if (e[static_cast<std::size_t>(v)] > 1)
        s += "^" + std::to_string(e[static_cast<std::size_t>(v)]);
    }
  }
  return s;
}

// The terms [lo, hi) of sorted (descending exponents) from variable v on.
std::string nested_text(const std::vector<const std::pair<std::vector<int>, std::string>*>& t,
                        std::size_t lo, std::size_t hi, int v) {
  if (v == 8) return t[lo]->second;
  std::string s;
  for (std::size_t i = lo; i < hi;) {
    const int e = t[i]->first[static_cast<std::size_t>(v)];
    std::size_t j = i + 1;
    while (j < hi && t[j]->first[static_cast<std::size_t>(v)] == e) ++j;
    std::string inner = nested_text(t, i, j, v + 1);
    std::string part;
    if (e == 0) {
      part = inner;
    } else {
      part = "(" + inner + ")*" + std::string(1, var_names[v]) +
             (e > 1 ? "^" + std::to_string(e) : "");
    }
    if (!s.empty() && part[0] != '-') s += "+";
    s += part;
    i = j;
  }
  return s;
}

std::string nested_text(const Literal& l) {
  std::vector<const std::pair<std::vector<int>, std::string>*> t;
  for (const auto& x : l.terms) t.push_back(&x);
  std::sort(t.begin(), t.end(), [](auto* a, auto* b) { return a->first > b->first; });
  return nested_text(t, 0, t.size(), 0);
}

void read_row(bool nested) {
  if (!wanted(nested ? "read nested" : "read flat")) return;
  std::mt19937_64 rng(74);
  const Literal lp = random_terms(rng, 114000, "123456789012345678901");
  const Literal lq = random_terms(rng, 114000, "98765432109876543210");
  const std::string p = nested ? nested_text(lp) : flat_text(lp);
  const std::string q = nested ? nested_text(lq) : flat_text(lq);
  std::vector<Program> progs{tavrin_program()};
  std::string adjoin;
  for (const char* v : {"a", "b", "c", "d", "e", "f", "g", "h"})
    adjoin += std::string("&(J = ") + v + ")\n";
  std::vector<std::string> scripts{adjoin + "p := " + p + ":\nq := " + q +
                                   ":\nNmcoef(p, 1);\nNmcoef(q, 1);\n&q\n"};
  if (on_path("Singular")) {
    progs.push_back(singular_program());
    scripts.push_back("ring r = 0, (a,b,c,d,e,f,g,h), dp;\npoly p = " + p + ";\npoly q = " + q +
                      ";\nprint(jet(p, 0)); print(jet(q, 0));\nquit;\n");
  }
  // gp's reader refuses a flat sum of this length ("expression nested too deeply")
  if (nested && on_path("gp")) {
    progs.push_back(gp_program());
    scripts.push_back("p = " + p + ";\nq = " + q +
                      ";\nprint(subst(subst(subst(subst(subst(subst(subst(subst(p,a,0),b,0),c,0),d,"
                      "0),e,0),f,0),g,0),h,0));\n"
                      "print(subst(subst(subst(subst(subst(subst(subst(subst(q,a,0),b,0),c,0),d,0),"
                      "e,0),f,0),g,0),h,0));\n\\q\n");
  }
  char size[64];
  std::snprintf(size, sizeof size, "%.1f + %.1f MB, 8 vars", static_cast<double>(p.size()) / 1e6,
                static_cast<double>(q.size()) / 1e6);
  compare(nested ? "read nested" : "read flat", size, progs, scripts, 5);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) tavrin::bench::row_filter = argv[1];
  sum_row();
  read_row(false);
  read_row(true);
  return 0;
}
