// Nested command levels, the function trace of error reports, and the
// terminal interrupt, run in-process with statements read from text.
#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "numbers/factorial.h"
#include "numbers/freelists.h"
#include "poly/poly_power.h"
#include "toplevel/dispatch.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "lang/variables.h"
#include "arrays/array_store.h"
#include "frontend/command_loop.h"
#include "frontend/error_context.h"
#include "frontend/loop_hooks.h"
#include "frontend/startup.h"
#include "support/data_tables.h"
#include "support/modulus_scope.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"

namespace tavrin::test {
namespace {

// The loops installed for the time of a test, reading statements from
// `text`, with the settings of the first prompt; everything put back after.
class Loop : public testing::Test {
 protected:
  Loop()
      : loaded_((load_data_tables(), true)),
        push_(errorpush),
        extra_(extra_line, true),
        timer_(timerflag, false) {}
  void read_from(const std::string& text) {
    text_ = std::make_unique<TextInput>(text);
    Input = text_.get();
  }
  // Parses the first statement of `text` as the loop does, a jump to the
  // top ending it there; the lines after are what a nested level reads.
  void run_statement(const std::string& text) {
    read_from(text);
    scanner(&Input, &token, &zilch);
    quoly value = nullptr;
    try {
      parse(&Input, &value, &zilch);
    } catch (const TopLevelJump&) {
      top_of_loop();
    }
    free_quoly(&value);
  }
  bool loaded_;  // first: the tables exist before the guards save anything
  LoopHooks hooks_;
  ScopedValue<bool> push_, extra_, timer_;
  std::unique_ptr<TextInput> text_;
};

// A stored statement "x:=1¥ y:=2¥" for the replay positions.
struct StoredText {
  std::vector<nameptr> nodes;
  StoredText() {
    const char* const tokens[] = {"x", ":", "=", "1", end_marker_name,
                                  "y", ":", "=", "2", end_marker_name};
    nameptr prev = nullptr;
    for (const char* t : tokens) {
      nameptr n;
      newname(&n);
      std::strcpy(n->let.name, t);
      n->let.address = -1;
      n->next = nullptr;
      n->space = false;
      if (prev != nullptr) prev->next = n;
      nodes.push_back(n);
      prev = n;
    }
  }
  ~StoredText() { freename(nodes.front()); }
};

// With "&e" on, a positive code at level 2 opens level 3; "&_p" there
// resumes the computation with every item the level changes put back.
TEST_F(Loop, APushedErrorOpensALevelThatPutsTheStateBack) {
  ModulusScope mod7(7);
  StoredText text;
  errorpush = true;
  levelcount = 2;
  time_level = 2;
  tt_flag = false;
  integerflag = true;
  doing_sys_func = true;
  done_load = true;
  func_def_count = 2;
  prev_expr = text.nodes[0];
  startexpr = text.nodes[5];
  currentchar = text.nodes[7];
  const tokentipe bad = {"junk", 17};
  token = bad;
  read_from("&_p\n");

  testing::internal::CaptureStdout();
  error(240, &bad);
  const std::string out = testing::internal::GetCapturedStdout();

  EXPECT_EQ(out.rfind("\n*** Inappropriate symbol: junk\n", 0), 0u) << out;
  EXPECT_NE(out.find("\n*** Function was interrupted at:\nx:=1;\ny:\n"), std::string::npos) << out;
  EXPECT_NE(out.find("3>*** Resuming earlier command level\n"), std::string::npos) << out;
  EXPECT_EQ(levelcount, 2);
  EXPECT_EQ(time_level, 2);
  EXPECT_FALSE(tt_flag);
  EXPECT_TRUE(integerflag);
  EXPECT_TRUE(doing_sys_func);
  EXPECT_TRUE(done_load);
  EXPECT_EQ(func_def_count, 2);
  EXPECT_TRUE(modularmode && lintmode && !flotemode);
  EXPECT_EQ(modulus, 7);
  EXPECT_EQ(prev_expr, text.nodes[0]);
  EXPECT_EQ(startexpr, text.nodes[5]);
  EXPECT_EQ(currentchar, text.nodes[7]);
  EXPECT_STREQ(token.name, "junk");
  EXPECT_EQ(token.address, 17);
  EXPECT_FALSE(time_to_quit);
  startexpr = prev_expr = currentchar = nullptr;
  tt_flag = true;
  integerflag = doing_sys_func = done_load = false;
  func_def_count = 0;
}

// The level's statements run in it: results are shown with the level number
// before the prompt, and an error there unwinds everything to the top.
TEST_F(Loop, ALevelRunsStatementsUntilAPanicStop) {
  read_from("&N\n;\n&@\n");
  testing::internal::CaptureStdout();
  EXPECT_THROW(error(-1, &blank), TopLevelJump);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out,
            "\n*** New command level.\n"
            "2> Displaying results is deactivated.\n\n"
            "2>\n"
            "2>\n*** Panic stop.\n");
  EXPECT_EQ(levelcount, 1);
  EXPECT_EQ(time_level, 1);
  noisy = true;
}

// Thirty recursive evaluations of one function list it ten times; runs of
// other names follow, twenty names to a line.
TEST_F(Loop, TheFunctionTraceLimitsRunsAndLines) {
  funcnode f{}, g{}, h{};
  std::strcpy(f.name.name, "f");
  std::strcpy(g.name.name, "g");
  std::strcpy(h.name.name, "h");
  const statptr bottom = lastf;
  // Oldest first: h g alternating 12 times, then f 30 times.
  std::vector<funcptr> calls;
  for (int k = 0; k < 12; ++k) calls.push_back(k % 2 == 0 ? &h : &g);
  for (int k = 0; k < 30; ++k) calls.push_back(&f);
  for (funcptr c : calls) {
    lastf = lastf->next;
    lastf->f = c;
  }
  statcount = static_cast<std::int32_t>(calls.size());
  read_from("");

  testing::internal::CaptureStdout();
  EXPECT_THROW(error(240, &blank), TopLevelJump);
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string trace =
      "*** The most recent function evaluations were:\n"
      " f f f f f f f f f f  ... 20 more with this name. \n"
      "g h g h g h g h g h \n"
      " g h ";
  EXPECT_NE(out.find(trace), std::string::npos) << out;
  EXPECT_EQ(lastf, bottom) << "every listed evaluation is ended";
  EXPECT_EQ(statcount, 0);
  for (statptr s = bottom->next; s != bottom; s = s->next) s->f = nullptr;
}

// The interrupt flag opens a level at the next poll: "&_p" lets the
// computation finish, "&@" abandons it; with command_int off it waits.
TEST_F(Loop, AnInterruptOpensALevelAtTheNextPoll) {
  install_interrupt_handler();
  // Polls `rounds` times, raising SIGINT before poll number `at`.
  auto spin = [](int rounds, int at) {
    int done = 0;
    for (int k = 0; k < rounds; ++k) {
      if (k == at) std::raise(SIGINT);
      check_interrupt();
      ++done;
    }
    return done;
  };

  read_from("&_p\n");
  testing::internal::CaptureStdout();
  EXPECT_EQ(spin(1000, 300), 1000);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "\n*** New command level.\n2>*** Resuming earlier command level\n");
  EXPECT_EQ(levelcount, 1);

  read_from("&@\n");
  int done = 0;
  testing::internal::CaptureStdout();
  try {
    done = spin(1000, 300);
  } catch (const TopLevelJump&) {
    top_of_loop();
  }
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "\n*** New command level.\n2>\n*** Panic stop.\n\n>");
  EXPECT_EQ(done, 0) << "the computation was abandoned";

  read_from("&_p\n");
  testing::internal::CaptureStdout();
  {
    ScopedValue<bool> off(command_int, false);
    EXPECT_EQ(spin(100, 10), 100);
    EXPECT_EQ(interrupt_requested, 1) << "the interrupt waits";
  }
  check_interrupt();
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "\n*** New command level.\n2>*** Resuming earlier command level\n");
  EXPECT_EQ(interrupt_requested, 0);
}

// The long driver loops poll between their products: a pending interrupt
// opens a level inside a power and inside a factorial, which finish with
// the right value after "&_p"; inside a hold (a modular image, a fold) it
// waits.
TEST_F(Loop, PowersAndFactorialsPollBetweenProducts) {
  BigModeGuard big;
  PolyVars vars{"x", "y"};
  auto levels_opened = [](const std::string& out) {
    return static_cast<int>(occurrences(out, "*** New command level."));
  };

  read_from("&_p\n");
  Poly p("x + y + 1");
  interrupt_requested = 1;
  testing::internal::CaptureStdout();
  compute_power(p.cell(), 5, polynames);
  EXPECT_EQ(levels_opened(testing::internal::GetCapturedStdout()), 1);
  EXPECT_EQ(p.ref(), Poly("x + y + 1").ref() * Poly("x + y + 1").ref() * Poly("x + y + 1").ref() *
                         Poly("x + y + 1").ref() * Poly("x + y + 1").ref());

  read_from("&_p\n");
  Value n = Value::number(300);
  interrupt_requested = 1;
  testing::internal::CaptureStdout();
  factorial(n->ncoef);
  EXPECT_EQ(levels_opened(testing::internal::GetCapturedStdout()), 1);
  BigRef expected = 1;
  for (int k = 2; k <= 300; ++k) expected = expected * k;
  EXPECT_EQ(number_value(n->ncoef), expected);

  Poly q("x - 2");
  interrupt_requested = 1;
  {
    InterruptHold hold;
    compute_power(q.cell(), 9, polynames);
    EXPECT_EQ(interrupt_requested, 1) << "held: the interrupt waits";
  }
  interrupt_requested = 0;
}

// A statement interrupted inside its power: "&_p" lets it finish and
// assign; "&@" abandons it and the variable keeps its old value.
TEST_F(Loop, AnInterruptedAssignmentResumesOrLeavesTheVariable) {
  install_interrupt_handler();
  auto run = [this](const std::string& text) { run_statement(text); };
  auto y_value = [] {
    tokentipe y = {"y", -1};
    varptr v = find_var(&y);
    return v == nullptr ? BigRef(-1) : number_value(v->val->ncoef);
  };
  BigRef power = 1;
  for (int k = 0; k < 4000; ++k) power = power * BigRef(3);

  testing::internal::CaptureStdout();
  run("y := 2:\n");
  interrupt_requested = 1;
  run("y := 3^4000:\n&_p\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "\n*** New command level.\n2>*** Resuming earlier command level\n");
  EXPECT_EQ(y_value(), power);

  testing::internal::CaptureStdout();
  run("y := 2:\n");
  interrupt_requested = 1;
  run("y := 3^4000:\n&@\n");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "\n*** New command level.\n2>\n*** Panic stop.\n\n>");
  EXPECT_EQ(y_value(), BigRef(2));
  EXPECT_EQ(levelcount, 1);
}

// A "^" parameter whose variable goes while its call is suspended below a
// nested level (cancelled there, also while the call's later arguments are
// read, or made by an assignment that is abandoned), or whose element goes
// with its array: the call, abandoned, writes nothing back and its copy of
// the value goes with it. One bound to an element whose cells moved down
// writes into the element where it now lies. Nothing is kept, and a later
// array finds its cells empty.
TEST_F(Loop, AReferenceParameterLetsGoOfACancelledTarget) {
  auto run = [this](const std::string& text) { run_statement(text); };
  auto element = [](const char* name, std::int32_t k) {
    tokentipe x{};
    std::strcpy(x.name, name);
    x.address = -1;
    arrptr a = find_array(&x);
    return a == nullptr ? nullptr : *arp_cell(a->start + k);
  };
  const tokentipe lv = {"lv", -1};
  errorpush = true;
  NodeBalance balance;
  testing::internal::CaptureStdout();
  // The bodies set r, then stop at the ")" left over (error 31); K's call
  // of H stops at 1/0 (error 22) after binding r.
  run("Func G(^r) = r := 9; r).\n");
  run("Func H(^r, u) = r := 9; r).\n");
  run("Func K(w) = H(lv, 1/0).\n");
  run("lv := 5:\n");
  run("G(lv)\n@lv\n&_p\n");
  EXPECT_EQ(find_var(&lv), nullptr);
  run("lv := 5:\n");
  run("K(0)\n@lv\n&_p\n&_p\n");
  EXPECT_EQ(find_var(&lv), nullptr);
  // At a nested level (E stops at a division by 0) an assignment makes nv
  // for G to refer to, and takes it away again when it is abandoned.
  run("Func E(w) = w/0.\n");
  run("E(1)\nnv := G(nv)\n&_p\n&_p\n");
  const tokentipe nv = {"nv", -1};
  EXPECT_EQ(find_var(&nv), nullptr);
  balance.expect_balanced();

  run("Array a[3]:\n");
  run("Array b[2]:\n");
  run("b[2] := 7:\n");
  run("G(b[2])\n@[a]\n&_p\n");  // b's cells move down while G runs
  const quoly moved = element("b", 1);
  EXPECT_TRUE(moved != nullptr && number_value(moved->ncoef) == BigRef(9));
  run("G(b[2])\n@[b]\n&_p\n");  // b goes while G runs
  run("Array c[4]:\n");
  for (std::int32_t k = 0; k < 4; ++k) EXPECT_EQ(element("c", k), nullptr) << k;
  run("@([c], G, H, K, E)\n");
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Resuming earlier command level"), std::string::npos) << out;
  balance.expect_balanced();
  // The call records named the functions now gone.
  for (statptr s = lastf->next; s != lastf; s = s->next) s->f = nullptr;
}

// The statement value 0 reads 0 in every ring and is given back whole when
// freed in the ring it was made in (word mode frees no limbs).
TEST(StatementZero, ReadsZeroAndFreesWholeInEveryRing) {
  for (int ring = 0; ring < 4; ++ring) {
    ArithModeGuard modes;
    std::unique_ptr<ModulusScope> mod;
    std::unique_ptr<FloatingMode> fl;
    std::unique_ptr<WordMode> word;
    if (ring == 1) mod = std::make_unique<ModulusScope>(7);
    if (ring == 2) fl = std::make_unique<FloatingMode>();
    if (ring == 3) word = std::make_unique<WordMode>();
    NodeBalance balance;
    quoly q = nullptr;
    for (int k = 0; k < 3; ++k) {
      set_zero_value(&q);
      ASSERT_TRUE(q->numb);
      EXPECT_EQ(q->next, nullptr);
      EXPECT_EQ(q->ncoef->lint, 0);
      EXPECT_EQ(q->ncoef->flote, 0.0L);
      if (!lintmode) {
        EXPECT_EQ(q->ncoef->head->value, 0) << "ring " << ring;
      }
    }
    free_quoly(&q);
    balance.expect_balanced();
  }
}

}  // namespace
}  // namespace tavrin::test
