// Control statements in-process: the stored form of statements, random
// conditions and loops against test-side evaluation, sums and products
// over stored text, the nesting limit and the freeing of partial lists.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/error_codes.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "toplevel/charsets.h"
#include "toplevel/dispatch.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "lang/expressions.h"
#include "lang/statements.h"
#include "lang/variables.h"
#include "support/data_tables.h"
#include "support/modulus_scope.h"
#include "support/output_capture.h"
#include "support/statements.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

std::string text_of(nameptr p) {
  std::string s;
  for (; p != nullptr; p = p->next) {
    if (!s.empty()) s += '|';
    s += std::strcmp(p->let.name, end_marker_name) == 0 ? std::string("$") : p->let.name;
  }
  return s;
}

std::string comments_of(comptr c) {
  std::string s;
  for (; c != nullptr; c = c->next) s += "{" + text_of(c->q) + "}";
  return s;
}

// A statement list written out: a plain statement as its tokens, a control
// statement as IF/LOOP(cond)[body](else); entries separated by " ; ".
std::string form_of(formptr f) {
  std::string s;
  for (; f != nullptr; f = f->next) {
    if (!s.empty()) s += " ; ";
    s += comments_of(f->comms);
    condexptr c = f->cptr;
    if (c->cond == nullptr) {
      s += text_of(c->expr);
    } else {
      s += std::string(c->aloop ? "LOOP(" : "IF(") + text_of(c->cond) + ")[" + form_of(c->form1) +
           "]";
      if (c->form2 != nullptr) s += "(" + form_of(c->form2) + ")";
    }
  }
  return s;
}

long chain_length(nameptr p) {
  long n = 0;
  for (; p != nullptr; p = p->next) ++n;
  return n;
}
template <class T>
long free_count(T* p) {
  long n = 0;
  for (; p != nullptr; p = p->next) ++n;
  return n;
}

class Control : public testing::Test {
 protected:
  Control() {
    load_data_tables();
    init_character_sets();
    make_token_ring();
    tt_flag = true;
  }
  static std::string num(const std::string& s) { return value_text(make_value(s)); }

  // Reads one list from `text` with stop word `stop`; its written form, or
  // "error N".
  std::string stored(const std::string& text, const char* stop, bool sys = false) {
    TextInput in(text);
    FILEPtr stream = &in;
    leftover[0] = '\0';
    scanner(&stream, &token, &zilch);
    formptr list = nullptr;
    bool once_more = true;
    tokentipe realtok{};
    in_sys_func = sys;
    bool unwound = false;
    const std::string out = output_of(
        [&] { right_side(&list, stop, &stream, &zilch, &once_more, &realtok, "if"); }, &unwound);
    in_sys_func = false;
    std::string result = form_of(list);
    free_form(&list);
    if (unwound) return error_of(out);
    result += " @" + std::string(token.name);
    if (!once_more) result += " held " + std::string(realtok.name);
    return result;
  }

  static std::string error_of(const std::string& out) {
    const std::int32_t code = reported_error(out);
    return code == 0 ? "error" : "error " + std::to_string(code);
  }

  // Runs statements one a line; the value of the last, or "error N".
  std::string run(const std::string& text) {
    const StatementRun r = run_statements(text);
    return r.unwound ? error_of(r.failed) : r.last;
  }
};

TEST_F(Control, StoredFormOfStatements) {
  struct Case {
    const char* text;
    const char* stop;
    const char* form;
  };
  const std::vector<Case> cases = {
      {"for i = 1 to 9 by 2 do x od fi", "fi", "LOOP(:|i|=|1| to|9| by|2|$)[x|$] @fi"},
      {"for i = 1, 9, 2 do x; od fi", "fi", "LOOP(:|i|=|1|,|9|,|2|$)[x|$] @fi"},
      {"if a < b then {note} x {in} else y; fi od", "od",
       "IF(a|<|b|$)[{n|o|t|e}x|{|i|n|}|$](y|$) @od"},
      {"x := 'a\nb' fi", "fi", "x|:|=|'|a|\r|b|'|$ @fi"},
      {"while 1 do ; x od fi", "fi", "LOOP(1|$)[;|$ ; x|$] @fi"},
      {"x; y; fi", "fi", "x|$ ; y|$ @fi"},
      {"x; y else", "elfi*", "x|$ ; y|$ @else"},
      {"x := 1.5; y := 2. Z", ".", "x|:|=|1|.|5|$ ; y|:|=|2|$ @. held Z"},
      {"(a + (b)) ]", "]", "(|a|+|(|b|)|)|$ @]"},
      {"Func G(x) = x + 1. y := 2. Z", ".", "Func|G|(|x|)|=|x|+|1|.|y|:|=|2|$ @. held Z"},
      {"Func G(x) = x. y; Func = 1. w", ".", "Func|G|(|x|)|=|x|.|y|$ ; Func|=|1|$ @. held w"},
      {"if 1 then fi", "fi", "error 319"},
      {"while 1 do x else y od", "fi", "error 214"},
      {"x {c} y fi", "fi", "x|{|c|}|y|$ @fi"},
      {"x else y fi", "fi", "error 38"},
  };
  for (const Case& c : cases) EXPECT_EQ(stored(c.text, c.stop), c.form) << c.text;
  // Inside a system function an empty statement is the statement 0.
  EXPECT_EQ(stored("while 1 do ; x od fi", "fi", true), "LOOP(1|$)[0|$ ; x|$] @fi");
  EXPECT_EQ(stored("while 1 do x;; od fi", "fi", true), "LOOP(1|$)[x|$ ; 0|$] @fi");
}

TEST_F(Control, SemicolonsInARowAtTheTerminal) {
  tt_flag = true;
  std::string twelve = "if 1 then x";
  for (int i = 0; i < 12; ++i) twelve += ";";
  twelve += " od fi";
  EXPECT_EQ(stored("while 1 do " + twelve, "fi", true).substr(0, 25), "LOOP(1|$)[IF(1|$)[x|$ ; 0");
  std::string fifteen = "x";
  for (int i = 0; i < 15; ++i) fifteen += " ;";
  EXPECT_EQ(stored(fifteen + " od", "od"), "error 132");
}

TEST_F(Control, NestingLimitAndNothingLeftBehind) {
  BigModeGuard big;
  std::string deep;
  for (int i = 0; i <= nesting_depth_limit; ++i) deep += "if 1 then ";
  deep += "1";
  for (int i = 0; i <= nesting_depth_limit; ++i) deep += " fi";
  EXPECT_EQ(run(deep + ";"), "error 216");
  std::string brackets(nesting_depth_limit + 1, '[');
  EXPECT_EQ(run("if " + brackets + "1 then 1 fi;"), "error 216");
  EXPECT_EQ(statement_depth, 0);
  // Malformed statements read again and again leave the free lists as the
  // first two readings left them (the second reads each statement while
  // the system function kept from the first is still held).
  const std::vector<std::string> bad = {
      deep + ";", "if 1 then x := 1; else y fi else;", "while [1 = 1 do x od;",
      "for i = 1 to 2 do x := {c} 'q fi;", "if 1 then for j = 1 to 2 do 1 od else )fi;"};
  for (int round = 0; round < 2; ++round)
    for (const std::string& s : bad) run(s);
  const long names = chain_length(name_garb);
  const long conds = free_count(condhead);
  const long forms = free_count(formhead);
  for (int round = 0; round < 200; ++round)
    for (const std::string& s : bad) run(s);
  EXPECT_EQ(chain_length(name_garb), names);
  EXPECT_EQ(free_count(condhead), conds);
  EXPECT_EQ(free_count(formhead), forms);
}

// Random conditions over small rationals: relations (in words and in the
// legacy single bytes), "not", "and", "or" and brackets, against a
// test-side evaluation; every relation is evaluated.
struct Rat {
  std::int64_t n, d;
};
struct Cond {
  std::string text;
  bool value;
  int relations;
};

class CondMaker {
 public:
  explicit CondMaker(std::mt19937& g) : g_(g) {}
  Cond make(int depth) {
    const int kind = depth > 2 ? 0 : pick(0, 4);
    if (kind == 1) {
      Cond a = make(depth + 1), b = make(depth + 1);
      const bool is_and = pick(0, 1) == 0;
      return {"[" + a.text + (is_and ? " and " : " or ") + b.text + "]",
              is_and ? (a.value && b.value) : (a.value || b.value), a.relations + b.relations};
    }
    if (kind == 2) {
      Cond a = make(depth + 1);
      return {"not " + a.text, !a.value, a.relations};
    }
    if (kind == 3) {  // a bare value: true only for the number 1
      Rat r = rat();
      return {"[" + show(r) + "]", r.n == r.d, 1};
    }
    Rat a = rat(), b = rat();
    const std::int64_t l = a.n * b.d, r = b.n * a.d;
    static const char* const ops[] = {"=", "<>", "<", ">", "<=", ">=", "\xAD", "\xB2", "\xB3"};
    const int op = pick(0, 8);
    bool v = false;
    switch (op) {
      case 0: v = l == r; break;
      case 1:
      case 6: v = l != r; break;
      case 2: v = l < r; break;
      case 3: v = l > r; break;
      case 4:
      case 7: v = l <= r; break;
      default: v = l >= r; break;
    }
    return {show(a) + " " + ops[op] + " " + show(b), v, 1};
  }

 private:
  int pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(g_); }
  Rat rat() {
    Rat r{pick(-6, 6), pick(1, 4)};
    if (pick(0, 3) == 0) r = {1, 1};
    return r;
  }
  static std::string show(Rat r) {
    std::string s = "(" + std::to_string(r.n);
    if (r.d != 1) s += "/" + std::to_string(r.d);
    return s + ")";
  }
  std::mt19937& g_;
};

TEST_F(Control, RandomConditionsAgainstATestSideEvaluation) {
  BigModeGuard big;
  std::mt19937 g(20261207);
  CondMaker maker(g);
  for (int i = 0; i < 2000; ++i) {
    Cond c = maker.make(0);
    const std::string cond = c.text + (i % 3 == 0 ? " and " + c.text : "");
    const int relations = c.relations * (i % 3 == 0 ? 2 : 1);
    const std::int64_t before = conditions_evaluated;
    ASSERT_EQ(run("if " + cond + " then 1 else 0 fi;"), num(c.value ? "1" : "0")) << cond;
    EXPECT_EQ(conditions_evaluated - before, relations) << cond;
  }
  // Polynomials: equality compares them, ordering refuses them.
  run("&(J = x)");
  EXPECT_EQ(run("if (x + 1)^2 = x^2 + 2*x + 1 and x <> x + 1 then 1 else 0 fi;"), num("1"));
  EXPECT_EQ(run("if x^2 = x then 1 else 0 fi;"), num("0"));
  EXPECT_EQ(run("if x >= x then 1 fi;"), "error 123");
  run("&(J = -x)");  // later tests use x as a scalar
  EXPECT_EQ(run("if 1/2 < 1 1 then 1 fi;"), num("1"));
  EXPECT_EQ(run("if 1 ) then 1 fi;"), "error 13");
}

TEST_F(Control, RandomLoopsLeaveTheVariableAndCountPredicted) {
  BigModeGuard big;
  std::mt19937 g(733);
  auto pick = [&g](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(g); };
  for (int i = 0; i < 300; ++i) {
    const int a = pick(-20, 20), b = pick(-20, 20);
    int s = pick(-5, 5);
    if (s == 0) s = 1;
    std::int64_t count = 0, sum = 0, v = a;
    if (s > 0) {
      for (; v <= b; v += s) ++count, sum += v;
    } else {
      for (; v >= b; v += s) ++count, sum += v;
    }
    const bool by_words = i % 2 == 0;
    const std::string header = "for i = " + std::to_string(a) + (by_words ? " to " : ", ") +
                               std::to_string(b) + (by_words ? " by " : ", ") + std::to_string(s);
    const std::string prog =
        "c := 0:\nt := 0:\n" + header + " do c := c + 1; t := t + i; i := i^3 od:\n";
    EXPECT_EQ(run(prog + "i;"), num(std::to_string(v))) << header;
    EXPECT_EQ(run(prog + "c;"), num(std::to_string(count))) << header;
    EXPECT_EQ(run(prog + "t;"), num(std::to_string(sum))) << header;
  }
  EXPECT_EQ(run("for i = 268435450 to 268435455 by 2 do 1 od:\ni;"), "error 47");
  EXPECT_EQ(run("for i = 1 to 2^28 do 1 od;"), "error 52");
  EXPECT_EQ(run("for i = 1/2 to 2 do 1 od;"), "error 50");
  EXPECT_EQ(run("for i = 1 to 2 by 1/2 do 1 od;"), "error 53");
  EXPECT_EQ(run("for i + 1 to 2 do 1 od;"), "error 77");
  EXPECT_EQ(run("for i = 1 ; 2 do 1 od;"), "error 38");
  EXPECT_EQ(run("for i = 1 to 2 ) do 1 od;"), "error 190");
  EXPECT_EQ(run("if 1 then 1 ) fi;"), "error 31");
}

TEST_F(Control, AccumulatingAssignmentsInLoops) {
  // "v := v +- t" in a loop forms the sum in v's own cell after t (no copy
  // of v): the same values as "w := (w) +- t", which takes the copy, over
  // the rationals and modulo 32003; terms above v's, below it, meeting its
  // monomials, reading v, over constants and polynomials; a failing term
  // leaves both as they were.
  clear_variables_and_polynomial_names();
  run("&(J = x)\n&(J > y)");
  const char* terms[] = {
      "(k | 89 + 10)*x^k", "x^(30 - k)/6",        "(k | 7 + 1)/(k | 5 + 2)*x^k*y",
      "k*x^(k | 4)",       "v*x/(k + 1)",         "y^k/(x + 1)",
      "2^100*x^k - 3",     "(x*y)^k/(k | 3 + 2)", "x^k/(k - 7)"};  // the last fails at k = 7
  for (const char* ring : {"&(p = _i)", "&(p = 32003)"}) {
    run(ring);
    for (const char* t : terms) {
      for (const char* sign : {"+", "-"}) {
        const std::string term(t), w_term = std::string("(") + t + ")";
        std::string w_form = term;
        for (std::size_t at = w_form.find('v'); at != std::string::npos;
             at = w_form.find('v', at + 1))
          w_form[at] = 'w';
        run("v := y/3 + 1:\nw := y/3 + 1:");
        const std::string v_loop =
            run("for k = 1 to 12 do v := v " + std::string(sign) + " " + term + " od:\n");
        const std::string w_loop =
            run("for k = 1 to 12 do w := (w) " + std::string(sign) + " " + w_form + " od:\n");
        EXPECT_EQ(v_loop, w_loop) << ring << ": v := v " << sign << " " << t;
        EXPECT_EQ(v_loop == "error 22", term.find("- 7") != std::string::npos) << v_loop;
        EXPECT_NE(run("v;"), run("y/3 + 1;")) << ring << ": v := v " << sign << " " << t;
        EXPECT_EQ(run("v - w;"), num("0")) << ring << ": v := v " << sign << " " << t;
        EXPECT_EQ(run("v;"), run("w;")) << ring << ": v := v " << sign << " " << t;
      }
    }
  }
  // The sum is formed in the cell: v's terms stay the same nodes (a copy
  // would be made while they are all alive, so none of its nodes is one).
  run("&(p = _i)");
  run("a := x:\nb := 1/5 + x/5:\n");
  for (const char* name : {"a", "b"}) {
    const poly before = variable_named(name)->val->numer;
    run(std::string("for k = 2 to 2 do ") + name + " := " + name + " + x^k" +
        (name[0] == 'b' ? "/5" : "") + " od:\n");
    poly p = variable_named(name)->val->numer;
    bool found = false;
    for (; p != nullptr; p = p->next) found = found || p == before;
    EXPECT_TRUE(found) << name << ": its former terms were copied";
  }
  run("&(J = -y)\n&(J = -x)");
  clear_variables_and_polynomial_names();
}

TEST_F(Control, LoopValuesInModularArithmetic) {
  // Variables are freed in the ring that made them, before each change.
  clear_variables_and_polynomial_names();
  ModulusScope mod(7);
  EXPECT_EQ(run("for i = 3 to -3 by -2 do 1 od:\ni;"), num("2"));
  EXPECT_EQ(run("t := 0:\nfor i = 1 to 10 do t := t + 1 od:\nt;"), num("3"));
  clear_variables_and_polynomial_names();
}

// Sums and products over stored text built from a string of tokens.
class Sums : public Control {
 protected:
  // *value := the construct at the start of `text`; "error N" or the
  // closing bracket.
  std::string evaluate(const std::string& text, bool is_sum, quoly* value) {
    TextInput in(text + " ;");
    FILEPtr stream = &in;
    leftover[0] = '\0';
    nameptr head = nullptr;
    newname(&head);
    head->next = nullptr;
    nameptr last = head;
    for (;;) {
      scanner(&stream, &token, &zilch);
      if (token.name[0] == ';') break;
      newname(&last->next);
      last = last->next;
      last->let = token;
      last->next = nullptr;
    }
    newname(&last->next);
    last = last->next;
    std::memcpy(last->let.name, end_marker_name, sizeof end_marker_name);
    last->next = nullptr;
    nameptr cursor = head;
    scanner(&stream, &token, &cursor);
    long double fsum = 0;
    char mate = 0;
    bool unwound = false;
    const std::string out = output_of(
        [&] { sum_mult_up(is_sum, &stream, value, &cursor, false, &fsum, &mate); }, &unwound);
    freename(head);
    if (unwound) return error_of(out);
    return std::string(1, mate) + token.name;
  }
};

TEST_F(Sums, RandomSumsAndProductsAgainstDirectLoops) {
  BigModeGuard big;
  std::mt19937 g(99);
  auto pick = [&g](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(g); };
  for (int i = 0; i < 200; ++i) {
    const bool is_sum = i % 2 == 0;
    const int a = pick(-4, 4), b = pick(-4, 5), c = pick(-3, 3), e = pick(0, 3);
    const int a2 = pick(0, 3), b2 = pick(-1, 3);
    const bool nested = i % 3 == 0;
    std::int64_t acc = is_sum ? 0 : 1;
    for (std::int64_t k = a; k <= b; ++k) {
      for (std::int64_t j = nested ? a2 : 0; j <= (nested ? b2 : 0); ++j) {
        std::int64_t term = c;
        for (int t = 0; t < e; ++t) term *= k;
        term += j;
        acc = is_sum ? acc + term : acc * term;
      }
    }
    std::string text = "< k = " + std::to_string(a) + ", " + std::to_string(b) + " >";
    if (nested) text += " < j = " + std::to_string(a2) + ", " + std::to_string(b2) + " >";
    text += std::string(i % 4 < 2 ? " [" : " (") + std::to_string(c) + "*k^" + std::to_string(e) +
            (nested ? " + j" : " + 0") + (i % 4 < 2 ? "]" : ")");
    quoly v = nullptr;
    const std::string end = evaluate(text, is_sum, &v);
    EXPECT_EQ(end, std::string(i % 4 < 2 ? "]]" : "))")) << text;
    ASSERT_NE(v, nullptr) << text;
    EXPECT_EQ(value_text(v), num(std::to_string(acc))) << text;
    free_quoly(&v);
    EXPECT_EQ(run("k;"), num(std::to_string(a <= b ? b + 1 : a))) << text;
  }
  quoly v = nullptr;
  EXPECT_EQ(evaluate("< k = 1 ; 3 > [k]", true, &v), "error 49");
  EXPECT_EQ(evaluate("< k = 1, 3 [k]", true, &v), "error 78");
  EXPECT_EQ(evaluate("< k = 1, 3 > k", true, &v), "error 145");
  EXPECT_EQ(evaluate("< k = 3, 1, -1 > [k]", false, &v), "]]");
  EXPECT_EQ(value_text(v), num("6"));
  free_quoly(&v);
}

// One statement read into a one-entry list (spec_right_side); lists run by
// eval_form (the last value kept; a loop flag ends the list); a variable's
// cell (iretrieve) and a copy of its value (spec_retrieve); a fresh 0.
TEST_F(Control, SingleStatementListsRunnersAndLookups) {
  BigModeGuard big;
  TextInput in("x := 6*7 ] y := x + 1; y := y*2; y + 1 fi");
  FILEPtr stream = &in;
  leftover[0] = '\0';
  scanner(&stream, &token, &zilch);
  formptr one = nullptr, list = nullptr;
  spec_right_side(&one, &stream, &zilch, "]");
  EXPECT_EQ(form_of(one) + " @" + token.name, "x|:|=|6|*|7|$ @]");
  scanner(&stream, &token, &zilch);
  bool once_more = true;
  tokentipe realtok{};
  right_side(&list, "fi", &stream, &zilch, &once_more, &realtok, "if");
  quoly n = nullptr;
  eval_form(&stream, one, &n);
  eval_form(&stream, list, &n);
  EXPECT_EQ(value_text(n), num("87"));  // y = 2 (6*7 + 1)
  leave_flag = true;                    // as "&>" leaves it: only the first statement runs
  eval_form(&stream, list, &n);
  leave_flag = false;
  EXPECT_EQ(run("y;"), num("43"));
  free_form(&one);
  free_form(&list);

  run("&(J = t)\nw := t + 1:");
  tokentipe xn{"x", -1}, wn{"w", -1}, none{"nosuch", -1};
  quolyptr qp = nullptr;
  iretrieve(&xn, &qp);
  EXPECT_EQ(qp, &find_var(&xn)->val);
  EXPECT_TRUE(reports(output_of([&] { iretrieve(&wn, &qp); }), not_number_error));
  iretrieve(&none, &qp);
  EXPECT_EQ(qp, nullptr);
  spec_retrieve(&wn, &n, &qp);
  EXPECT_TRUE(qp == &find_var(&wn)->val && n != *qp && value_text(n) == value_text(*qp));
  find_var(&xn)->val->arr_arg = true;  // x stands for an array argument
  EXPECT_EQ(output_of([&] { spec_retrieve(&xn, &n, &qp); }),
            "Warning. x is an array parameter.\n  Value 0 used for x.\n");
  find_var(&xn)->val->arr_arg = false;
  EXPECT_EQ(value_text(n), num("0"));
  free_quoly(&n);
  special_set_quol(&n);
  EXPECT_TRUE(value_text(n) == num("0") && !n->arr_arg && n->next == nullptr);
  free_quoly(&n);
  run("&(J = -t)");
}

}  // namespace
}  // namespace tavrin::test
