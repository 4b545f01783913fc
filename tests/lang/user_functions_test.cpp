// User functions in-process: random functions of a small grammar against a
// test-side interpreter, and the tokens the "Compile" link step binds.
#include <gtest/gtest.h>

#include <array>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "numbers/freelists.h"
#include "toplevel/builtins.h"
#include "toplevel/charsets.h"
#include "toplevel/dispatch.h"
#include "toplevel/language_services.h"
#include "toplevel/platform.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "lang/functions.h"
#include "lang/variables.h"
#include "arrays/targets.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/statements.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

class UserFunctions : public testing::Test {
 protected:
  void SetUp() override {
    install_interpreter();
    tt_flag = true;
    addresser = 1;
    // Calls left running by an error in an earlier test of the program
    // (the command loop's error hooks, which end them, are not installed).
    end_all_calls();
    if (lastf == nullptr) {  // the ring of call records
      statptr first = new statnode{nullptr, nullptr, nullptr}, last = first;
      for (int k = 1; k < statring_size; ++k) {
        last->next = new statnode{last, nullptr, nullptr};
        last = last->next;
      }
      last->next = first;
      first->prev = last;
      lastf = first;
    }
  }

  // Runs statements one a line: the value of the last, or "error N".
  std::string run(const std::string& text) {
    const StatementRun r = run_statements(text);
    if (!r.unwound) return plain(r.latest);
    if (r.failed.find("Inappropriate") != std::string::npos)
      for (int code = 377; code > 0; --code)
        if (reports(r.failed, code)) return "error " + std::to_string(code);
    return "error";
  }
  static std::string plain(const std::string& s) {
    return s.rfind("number ", 0) == 0 ? s.substr(7) : s;
  }
};

// ---- The random grammar and its interpreter ------------------------------------------
// Fk(a, b, ^r, v): statements "r := r + E", "v[k] := v[k] + E", a loop
// adding E to r, "r := r + Fj(E, E, ^z, [v])" (j < k), then E as the value.
struct Expr {
  int kind = 0;  // 0 number, 1 a, 2 b, 3 r, 4 v[k], 5 +, 6 -, 7 *
  long long num = 0;
  int k = 1;
  std::vector<Expr> sub;
};
struct Stmt {
  int kind = 0;  // 0 r +=, 1 v[k] +=, 2 loop, 3 call
  int k = 1, count = 0, callee = 0;
  Expr e, e2;
};
struct Fn {
  std::vector<Stmt> body;
  Expr value;
};

Expr random_expr(std::mt19937& g, int depth) {
  Expr e;
  const int kind = depth <= 0 ? static_cast<int>(g() % 5) : static_cast<int>(g() % 8);
  e.kind = kind;
  e.num = static_cast<long long>(g() % 7);
  e.k = 1 + static_cast<int>(g() % 3);
  if (kind >= 5) e.sub = {random_expr(g, depth - 1), random_expr(g, depth - 1)};
  return e;
}

std::string text(const Expr& e) {
  static const char* const names[] = {"", "a", "b", "r"};
  switch (e.kind) {
    case 0: return std::to_string(e.num);
    case 4: return "v[" + std::to_string(e.k) + "]";
    case 5: return "(" + text(e.sub[0]) + " + " + text(e.sub[1]) + ")";
    case 6: return "(" + text(e.sub[0]) + " - " + text(e.sub[1]) + ")";
    case 7: return "(" + text(e.sub[0]) + "*" + text(e.sub[1]) + ")";
    default: return names[e.kind];
  }
}

// The interpreter computes modulo 2^64; Tavrin's exact values are
// compared after the same reduction.
using u64 = std::uint64_t;
std::string reduced(const std::string& decimal) {
  u64 x = 0;
  for (char ch : decimal)
    if (ch >= '0' && ch <= '9') x = x * 10 + static_cast<u64>(ch - '0');
  return std::to_string(!decimal.empty() && decimal[0] == '-' ? 0 - x : x);
}

struct Frame {
  u64 a, b, r;
  u64* v;
};
struct Interpreter {
  std::vector<Fn>* fns;
  u64 z = 0;
  u64 eval(const Expr& e, const Frame& f) {
    switch (e.kind) {
      case 0: return static_cast<u64>(e.num);
      case 1: return f.a;
      case 2: return f.b;
      case 3: return f.r;
      case 4: return f.v[e.k - 1];
      case 5: return eval(e.sub[0], f) + eval(e.sub[1], f);
      case 6: return eval(e.sub[0], f) - eval(e.sub[1], f);
      default: return eval(e.sub[0], f) * eval(e.sub[1], f);
    }
  }
  // Returns the value; *r receives the final value of the "^" parameter.
  u64 call(int k, u64 a, u64 b, u64* r, u64* v) {
    Frame f{a, b, *r, v};
    for (const Stmt& s : (*fns)[k].body) {
      if (s.kind == 0) f.r += eval(s.e, f);
      if (s.kind == 1) v[s.k - 1] += eval(s.e, f);
      if (s.kind == 2)
        for (int i = 0; i < s.count; ++i) f.r += eval(s.e, f);
      if (s.kind == 3) {
        const u64 x = eval(s.e, f), y = eval(s.e2, f);
        f.r += call(s.callee, x, y, &z, v);
      }
    }
    const u64 value = eval((*fns)[k].value, f);
    *r = f.r;
    return value;
  }
};

std::string definition(int k, const Fn& fn) {
  std::string s = "Func F" + std::to_string(k) + "(a, b, ^r, v) = ";
  for (const Stmt& st : fn.body) {
    if (st.kind == 0) s += "r := r + " + text(st.e);
    if (st.kind == 1) {
      const std::string el = "v[" + std::to_string(st.k) + "]";
      s += el + " := " + el + " + " + text(st.e);
    }
    if (st.kind == 2)
      s += "for j = 1 to " + std::to_string(st.count) + " do r := r + " + text(st.e) + " od";
    if (st.kind == 3)
      s += "r := r + F" + std::to_string(st.callee) + "(" + text(st.e) + ", " + text(st.e2) +
           ", ^z, [v])";
    s += "; ";
  }
  return s + text(fn.value) + ".:";
}

TEST_F(UserFunctions, RandomFunctionsAgreeWithTheInterpreter) {
  std::mt19937 g(36);
  const std::string zeros = "w[1] := 0:\nw[2] := 0:\nw[3] := 0:\nz := 0:\nj := 0:\nx := 0:";
  run("Array w[3]:\n" + zeros);
  for (int round = 0; round < 40; ++round) {
    std::vector<Fn> fns(4);
    std::string defs;
    for (int k = 0; k < 4; ++k) {
      const int count = 1 + static_cast<int>(g() % 3);
      for (int i = 0; i < count; ++i) {
        Stmt s;
        s.kind = static_cast<int>(g() % (k == 0 ? 3 : 4));
        s.k = 1 + static_cast<int>(g() % 3);
        s.count = static_cast<int>(g() % 4);
        s.callee = k == 0 ? 0 : static_cast<int>(g() % k);
        s.e = random_expr(g, 2);
        s.e2 = random_expr(g, 1);
        fns[k].body.push_back(s);
      }
      fns[k].value = random_expr(g, 2);
      defs += definition(k, fns[k]) + "\n";
    }
    run(defs);
    u64 w[3] = {g() % 5, 2, 3};
    u64 x = g() % 9;
    const u64 a = g() % 9, b = g() % 9;
    run("w[1] := " + std::to_string(w[0]) +
        ":\nw[2] := 2:\nw[3] := 3:\nz := 0:\nx := " + std::to_string(x) + ":");
    Interpreter in{&fns};
    NodeBalance balance;
    const std::string got =
        run("F3(" + std::to_string(a) + ", " + std::to_string(b) + ", ^x, [w]);");
    const u64 want = in.call(3, a, b, &x, w);
    EXPECT_EQ(reduced(got), std::to_string(want)) << defs;
    EXPECT_EQ(reduced(run("x;")), std::to_string(x)) << defs;
    EXPECT_EQ(reduced(run("z;")), std::to_string(in.z)) << defs;
    for (int k = 0; k < 3; ++k)
      EXPECT_EQ(reduced(run("w[" + std::to_string(k + 1) + "];")), std::to_string(w[k])) << defs;
    for (tokentipe t : {tokentipe{"a", -1}, {"b", -1}, {"r", -1}, {"v", -1}})
      EXPECT_EQ(find_var(&t), nullptr) << t.name;
    arrptr alias = nullptr;
    tokentipe v{"v", -1};
    fastestlookup(&v, &alias);
    EXPECT_EQ(alias, nullptr);
    EXPECT_EQ(statcount, 0);
    EXPECT_EQ(live_call_count(), 0);
    run(zeros);
    balance.expect_balanced();
  }
}

TEST_F(UserFunctions, AnAccumulatingAssignmentReadsItsVariableBeforeACall) {
  // "v := v + t" in a loop reads v before t is evaluated, as any sum does:
  // a call in t that doubles v by reference changes the sum only through
  // the value it returns (5). So acc runs 1, 6, 11, 16, and pol collects
  // x + 5 x^2 + 5 x^3 + 5 x^4, not the doubled values.
  clear_variables_and_polynomial_names();
  run("Function Bump(^y) = y := y*2; 5 .");
  run("acc := 1:\nfor i = 1 to 3 do acc := acc + Bump(^acc) od:\n");
  EXPECT_EQ(reduced(run("acc;")), "16");
  run("&(J = x)");
  run("pol := x:\nfor i = 1 to 3 do pol := pol + Bump(^pol)*x^(i + 1) od:\n");
  EXPECT_EQ(run("pol - (x + 5*x^2 + 5*x^3 + 5*x^4);"), run("0;"));
  run("&(J = -x)");
  clear_variables_and_polynomial_names();
}

TEST_F(UserFunctions, OperandsReadInPlaceAgreeWithCopiesAndKeepTheirValueOverACall) {
  // Operands read in place against parenthesised copies; a call writing the left
  // operand (H: a := 100, G(^y): y := 7, each giving 2) leaves the value read.
  clear_variables_and_polynomial_names();
  for (const char* s :
       {"Function H(u) = a := 100; 2 .", "Function G(^y) = y := 7; 2 .", "&(J = x)"})
    run(s);
  const char* const ints = "&(p = _i):\na := 3:\nb := -5:";
  const char* const polys =
      "&(p = _i):\na := 3*x^3 - x + 2:\nb := x^2/7 - 1:\nd := (x + 1)/(x - 2):";
  const char* const mod7 = "&(p = 7):\na := 3*x^3 - x + 2:\nb := x^2 - 1:";
  const std::vector<std::array<const char*, 3>> rows = {
      // ring, statement, oracle
      {polys, "c := a*a + b*b - a*b;", "c := (a)*(a) + (b)*(b) - (a)*(b);"},
      {polys, "c := a - a + d*a - d*d;", "c := (a) - (a) + (d)*(a) - (d)*(d);"},
      {polys, "c := a*b*d/b + a + a*b - b;", "c := (a)*(b)*(d)/(b) + (a) + (a)*(b) - (b);"},
      {mod7, "c := a*b - a + b*b;", "c := (a)*(b) - (a) + (b)*(b);"},
      {ints, "c := a*H(1);", "6;"},
      {ints, "c := a + H(1) + a;", "105;"},
      {ints, "c := a*(b + H(1));", "-9;"},
      {ints, "c := a*a + a*G(^a) + a;", "22;"},
      {ints, "c := a * *a;\na;", "1;"},
      {mod7, "c := a*b^H(1) + b*G(^b) - b;", "c := (3*x^3 - x + 2)*(x^2 - 1)^2 + 2*x^2 - 2 - 7;"},
      {polys, "c := Deriv(a, x, 1) + Deriv(b, x, 2) - Deriv(d, x, 1);",
       "c := Deriv((a), x, 1) + Deriv((b), x, 2) - Deriv((d), x, 1);"},
      {polys, "c := Deriv(a, x, H(1));", "18*x;"},
  };
  for (const auto& [ring, statement, oracle] : rows) {
    run(ring);
    const std::string got = run(statement);
    run(ring);
    EXPECT_EQ(got, run(oracle)) << ring << "\n" << statement;
  }
  for (const char* s : {"&(p = _i)", "&(J = -x)"}) run(s);
  clear_variables_and_polynomial_names();
}

// ---- The link step -----------------------------------------------------------------
// The linked tokens of a compiled body, written as name:tipe in order.
std::string linked_tokens(formptr list) {
  std::string s;
  for (; list != nullptr; list = list->next) {
    const condexptr d = list->cptr;
    for (nameptr t : {d->cond, d->expr})
      for (; t != nullptr; t = t->next)
        if (t->compiled)
          s += std::string(s.empty() ? "" : " ") + t->let.name + ":" +
               std::to_string(static_cast<int>(t->tipe));
    const std::string inner = linked_tokens(d->form1) + linked_tokens(d->form2);
    if (!inner.empty()) s += (s.empty() ? "" : " ") + inner;
  }
  return s;
}

TEST_F(UserFunctions, LinkStepBindsTheListedNames) {
  run("Array w[3]:\nArray longname[3]:\nw[2] := 5:\nlongname[2] := 1:\nq := 7:\naa := 1:\n"
      "mm := 2:\nzz := 3:");
  struct Case {
    const char* def;
    const char* call;
    const char* value;
    const char* linked;
  };
  const Case cases[] = {
      {"Func A1(x, y) = Compile; x + y*x.:", "A1(2, 3);", "8", "x:1 y:1 x:1"},
      {"Func A2(v) = Compile; v[1] + v[2] + v[3].:", "A2([w]);", "5", "v:3 v:3 v:3"},
      {"Func A3 = Compile(w[2], q); w[2] + q + w[3].:", "A3;", "12", "w:2 q:1"},
      {"Func A4 = Compile(zz, aa, mm); zz*100 + mm*10 + aa.:", "A4;", "321", "zz:1 mm:1 aa:1"},
      {"Func A5(x) = Compile * (q); x + q.:", "A5(1);", "8", "q:1"},
      {"Func A6 = Compile([w]); w[2] + w[2].:", "A6;", "10", "w:3 w:3"},
      {"Func A7 = Compile(longname[2]); longname[2].:", "A7;", "1", ""},
      {"Func A8(n) = Compile; t := 0; for i = 1 to n do if i > 1 then t := t + n fi od; t.:",
       "A8(3);", "6", "n:1 n:1"},
      {"Func B1 = Compile(q, q); 1.:", "B1;", "error 233", nullptr},
      {"Func B2 = Compile(Q); 1.:", "B2;", "error 232", nullptr},
      {"Func B3 = Compile([nope]); 1.:", "B3;", "error 28", nullptr},
      {"Func B4 = Compile(nope); 1.:", "B4;", "error 19", nullptr},
  };
  for (const Case& c : cases) {
    run(c.def);
    EXPECT_EQ(run(c.call), c.value) << c.def;
    EXPECT_EQ(statcount, 0);
    if (c.linked == nullptr) continue;
    tokentipe name{};
    std::memcpy(name.name, c.call, 2);
    name.address = -1;
    const funcptr f = find_function(&name);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(linked_tokens(f->comp), c.linked) << c.def;
    // A parameter's chain holds exactly its linked tokens, in order.
    std::string chains;
    for (paramptr p = f->pars; p != nullptr; p = p->next)
      for (nameptr t = p->nother; t != nullptr; t = t->nother)
        chains += std::string(chains.empty() ? "" : " ") + t->let.name + ":" +
                  std::to_string(static_cast<int>(t->tipe));
    if (f->pars != nullptr && f->do_params && f->pars->next == nullptr) {
      EXPECT_EQ(chains, c.linked) << c.def;
    }
    // A second call links nothing again and gives the same value.
    EXPECT_EQ(run(c.call), c.value) << c.def;
  }
  // 101 names: 230.
  std::string many = "Func B5 = Compile(";
  std::string vars;
  for (int k = 0; k < 101; ++k) {
    const std::string v = "n" + std::to_string(k);
    vars += v + " := 1:\n";
    many += (k == 0 ? "" : ", ") + v;
  }
  run(vars);
  run(many + "); 1.:");
  EXPECT_EQ(run("B5;"), "error 230");
}

// ---- Operator aliases in floating bodies -----------------------------------------------
// A stored body reads an alias by its name through the exact factor reader;
// the same body with the name's node made the operator token itself takes
// the floating reader's form of the token's row. Both routes give one
// value, and a token with no floating form is refused (error 2).
TEST_F(UserFunctions, AliasTokensInFloatingBodiesAgreeWithTheirNames) {
  run("[a] := [<i = 1, 2><j = 1, 2> i + 2*j*j]:");     // determinant 30 - 36
  const std::pair<const char*, const char*> cases[] = {// a body and 1 + its value ("<": random)
                                                       {"Binomial(5, 2)", "11"},
                                                       {"Sigma<i = 1, 4>[i / 2]", "6"},
                                                       {"Product<i = 1, 3>(i + 1)", "25"},
                                                       {"Det[a]", "-5"},
                                                       {"Cols[a]", "3"},
                                                       {"Deg(7)", "1"},
                                                       {"Sqrt(10)", "4"},
                                                       {"Rand", "<"},
                                                       {"RRand", "<"}};
  for (const auto& [body, value] : cases) {
    run(std::string("Func H = Float; 1 + ") + body + ".:");
    tokentipe h{"H", -1};
    nameptr t = find_function(&h)->rht->next->cptr->expr;
    const std::string name(body, std::strcspn(body, "(<["));
    while (t != nullptr && name != t->let.name) t = t->next;
    ASSERT_NE(t, nullptr) << body;
    for (const bool by_token : {false, true}) {
      if (by_token)
        std::memcpy(t->let.name, builtin[find_built_in(0, numbuiltins, name.c_str())].second,
                    sizeof(nametype));
      const std::string got = run("H;"), want = by_token && name == "Sqrt" ? "error 2" : value;
      if (want == "<") {
        EXPECT_LE(std::stoll(got), 268435456LL) << t->let.name;
      } else {
        EXPECT_EQ(got, want) << t->let.name;
      }
    }
  }
}

}  // namespace
}  // namespace tavrin::test
