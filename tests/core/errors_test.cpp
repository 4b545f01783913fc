// Error reports, nested command levels, internal errors and progress lines.
#include "core/errors.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/error_codes.h"
#include "core/globals.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "support/output_capture.h"

namespace tavrin {
namespace {

int levels_opened = 0;
int deepest_level = 0;
void count_level() {
  ++levels_opened;
  if (levelcount > deepest_level) deepest_level = levelcount;
}

// A level that reports a further internal error, opening the next level.
void nest_again() {
  count_level();
  tavrin_error("again", true);
}

class Errors : public testing::Test {
 protected:
  Errors()
      : runner_(run_command_level, count_level),
        push_(errorpush),
        level_(levelcount),
        stat_(statcount),
        extra_(extra_line, false) {
    levels_opened = 0;
    deepest_level = 0;
    std::strcpy(erp[22], "Trying to divide by zero.\n");
  }
  test::NumberedErrors numbered_;  // only code 22 has a text, restored afterwards
  ScopedValue<command_level_runner> runner_;
  ScopedValue<bool> push_;
  ScopedValue<std::int32_t> level_, stat_;
  ScopedValue<bool> extra_;
};

TEST_F(Errors, AtTheTopLevelTheComputationIsAbandoned) {
  testing::internal::CaptureStdout();
  EXPECT_THROW(error(22, &quotsign), TopLevelJump);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "*** Inappropriate symbol: /\nTrying to divide by zero.\n");
  EXPECT_EQ(levels_opened, 0);
  EXPECT_EQ(levelcount, 1);
}

TEST_F(Errors, CodesWithoutTextPrintTheNumber) {
  testing::internal::CaptureStdout();
  EXPECT_THROW(error(240, &factsign), TopLevelJump);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "*** Inappropriate symbol: !\nError number 240.\n");
}

TEST_F(Errors, TheEndMarkerIsShownAsASemicolon) {
  tokentipe end = {"\xC2\xA5", -1};
  testing::internal::CaptureStdout();
  EXPECT_THROW(error(129, &end), TopLevelJump);
  EXPECT_EQ(testing::internal::GetCapturedStdout().rfind("*** Inappropriate symbol: ;\n", 0), 0u);
}

TEST_F(Errors, WithPushInsideAFunctionALevelOpensAndTheCallReturns) {
  errorpush = true;
  statcount = 1;
  testing::internal::CaptureStdout();
  error(22, &quotsign);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(levels_opened, 1);
  EXPECT_EQ(deepest_level, 2);
  EXPECT_EQ(levelcount, 1) << "leaving the level goes back down";
}

TEST_F(Errors, InANestedLevelDivisionByZeroIsOnlyAWarning) {
  levelcount = 2;
  testing::internal::CaptureStdout();
  error(22, &quotsign);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(
      out,
      "\n *** Warning.\n *** Trying to divide by 0, in variable: /.  will set quotient to 0\n\n");
  EXPECT_EQ(levels_opened, 0);
}

TEST_F(Errors, InternalErrors) {
  testing::internal::CaptureStdout();
  tavrin_error("poly mod invert", false);
  tavrinerror("no line end");
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "*** Tavrin error. poly mod invert\n*** Tavrin error. no line end");
  EXPECT_EQ(levels_opened, 0);
  testing::internal::CaptureStdout();
  tavrin_error("pushed", true);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "*** Tavrin error. pushed\n*** New command level.\n");
  EXPECT_EQ(levels_opened, 1);
  // The second name reports the same way, with and without a level.
  testing::internal::CaptureStdout();
  tavrintt_error("poly mod invert", false);
  tavrintt_error("pushed", true);
  EXPECT_EQ(
      testing::internal::GetCapturedStdout(),
      "*** Tavrin error. poly mod invert\n*** Tavrin error. pushed\n*** New command level.\n");
  EXPECT_EQ(levels_opened, 2);
}

TEST_F(Errors, ATenthLevelIsAPanicStop) {
  ScopedValue<command_level_runner> deeper(run_command_level, nest_again);
  testing::internal::CaptureStdout();
  EXPECT_THROW(tavrin_error("again", true), TopLevelJump);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("*** Highest legal command level is 9.\n"), std::string::npos);
  EXPECT_NE(out.find("*** Panic stop.\n"), std::string::npos);
  EXPECT_EQ(deepest_level, 9);
  EXPECT_EQ(levelcount, 1);
}

TEST_F(Errors, PanicStopAtTheTop) {
  testing::internal::CaptureStdout();
  EXPECT_THROW(error(0, &blank), TopLevelJump);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "*** Panic stop.\n    You were already at the lowest level.\n");
}

TEST_F(Errors, WarningsOfTheirOwn) {
  testing::internal::CaptureStdout();
  warning(19, &quotsign);
  warning(90, &blank);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "\n *** Warning.\n *** Undefined variable: /.  will use 0\n\n"
            "\n *** Warning.\n *** Can't do Det\n\n");
}

// A dangling array parameter adds two lines naming it; the warning about a
// parameter made sparse adds its advice.
TEST_F(Errors, ParameterReportsNameTheParameter) {
  const tokentipe param = {"arr", -1};
  testing::internal::CaptureStdout();
  EXPECT_THROW(error(dangling_parameter_error, &param), TopLevelJump);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "*** Inappropriate symbol: arr\nError number 139.\n"
            "that you have just deleted.  Any reference to this parameter \n"
            "arr may crash Tavrin. There may be other such dangling array parameters.\n");
  testing::internal::CaptureStdout();
  warning(parameter_made_sparse_warning, &param);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "\n *** Warning.\nError number 342.\n"
            " If necessary, do a panic stop as soon as possible. Then if\n"
            " necessary, delete the parameter arr.\n\n");
}

// The exit of what is not there yet: a line, then the top level, like an
// error without a number.
TEST_F(Errors, NotImplementedUnwindsWithoutANumber) {
  levelcount = 3;
  testing::internal::CaptureStdout();
  EXPECT_THROW(not_implemented(), TopLevelJump);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "not implemented\n");
  EXPECT_EQ(levelcount, 1);
}

// The hooks through which folders above core have their state reset: each
// stage runs when the design says, once per registered hook, with the code.
struct HookLog {
  bool active = false;
  std::string seen;  // "r<code>" per report call, "u<code>" per unwind call
};
HookLog hook_log;
void report_hook(std::int32_t code) {
  if (hook_log.active) hook_log.seen += "r" + std::to_string(code) + " ";
}
void unwind_hook(std::int32_t code) {
  if (hook_log.active) hook_log.seen += "u" + std::to_string(code) + " ";
}

TEST_F(Errors, HooksOfHigherFoldersRunAtReportAndUnwind) {
  add_error_hook(error_stage::report, report_hook);
  add_error_hook(error_stage::report, report_hook);  // kept once
  add_error_hook(error_stage::unwind, unwind_hook);
  hook_log = {true, ""};
  struct Off {
    ~Off() { hook_log.active = false; }
  } off;
  auto run = [](auto&& call) {
    hook_log.seen.clear();
    testing::internal::CaptureStdout();
    try {
      call();
    } catch (const TopLevelJump&) {
      hook_log.seen += "jump";
    }
    testing::internal::GetCapturedStdout();
    return hook_log.seen;
  };
  EXPECT_EQ(run([] { error(22, &quotsign); }), "r22 u22 jump");
  EXPECT_EQ(run([] { error(0, &blank); }), "r0 u0 jump");
  EXPECT_EQ(run([] { memory_exhausted(); }), "u0 jump");
  EXPECT_EQ(run([] { tavrinerror("x"); }), "");
  // A level that opens and is left returns without unwinding.
  errorpush = true;
  statcount = 1;
  EXPECT_EQ(run([] { error(240, &factsign); }), "r240 ");
  EXPECT_EQ(run([] { tavrin_error("pushed", true); }), "r-1 ");
  EXPECT_EQ(run([] { abandon(240, &factsign); }), "r240 u240 jump");
  errorpush = false;
  statcount = 0;
  levelcount = 2;  // a warning inside a nested level
  EXPECT_EQ(run([] { error(19, &blank); }), "r19 ");
  EXPECT_EQ(levels_opened, 3);  // error 240, the pushed internal error, abandon's report
}

TEST(Dumpitt, ProgressLines) {
  ScopedValue<std::int16_t> level(dumpitt_level, 2);
  ScopedValue<std::int16_t> length(dumpitt_length, 0);
  ScopedValue<std::int32_t> sup(suppressor, 1);
  ScopedValue<bool> verb(verbose, true);
  testing::internal::CaptureStdout();
  dumpitt(" ", -1, true, false, false);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n    ");
  testing::internal::CaptureStdout();
  dumpitt("deg", 12, false, false, true);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "deg12: ");
  EXPECT_EQ(dumpitt_length, 4 + 2 + 3 + 1 + 1);
  // Multiplying loop counts beyond 1000 silences the deeper levels.
  testing::internal::CaptureStdout();
  dumpitt("a", 50, false, true, false);
  dumpitt("b", 50, false, true, false);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "a50. ");
  EXPECT_EQ(suppressor, 2500);
  dumpitt_level = 3;
  testing::internal::CaptureStdout();
  decr_dumpitt(50, true, true);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(suppressor, 50);
  EXPECT_EQ(dumpitt_level, 2);
  testing::internal::CaptureStdout();
  decr_dumpitt(0, true, true);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\n  ");
  EXPECT_EQ(suppressor, 50);
}

}  // namespace
}  // namespace tavrin
