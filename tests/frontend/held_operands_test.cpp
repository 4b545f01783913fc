// Values read where they lie, written while they are read: every reader
// that reads a stored value in place (the operators, the built-ins that
// look at an argument) meets a later argument, a user function or a nested
// command level that assigns, cancels, moves or swaps what it reads. The
// reader gives what it gives without the write, the operand ends with what
// was written, and no record is read after it was freed (the sanitizer
// build) or kept after its last holder let go (the node census).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "core/globals.h"
#include "core/interrupts.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "toplevel/dispatch.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "lang/variables.h"
#include "frontend/command_loop.h"
#include "frontend/error_context.h"
#include "frontend/loop_hooks.h"
#include "frontend/startup.h"
#include "support/data_tables.h"
#include "support/node_accounting.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/statements.h"
#include "support/value_form.h"

namespace tavrin::test {
namespace {

std::string replace_all(std::string s, const std::string& from, const std::string& to) {
  for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
    s.replace(at, from.size(), to);
  return s;
}

// Statements run one a line as the command loop runs them, a nested level
// reading the lines that follow; the loop's hooks installed for the test.
class HeldOperands : public testing::Test {
 protected:
  HeldOperands()
      : loaded_((install_interpreter(), true)),
        push_(errorpush, false),
        interrupts_(command_int, true),
        addresser_(addresser, 1) {
    tt_flag = true;
  }
  ~HeldOperands() override { forget_values(); }

  // Runs text; returns what it printed. *last: the value of the last
  // statement typed at the top level.
  std::string run(const std::string& text, std::string* last = nullptr) {
    TextInput in(text);
    Input = &in;
    leftover[0] = '\0';
    std::string out;
    for (;;) {
      scanner(&Input, &token, &zilch);
      if (in.at_eof() && token.name[0] == ';') break;
      quoly value = nullptr;
      bool unwound = false;
      out += output_of(
          [&] {
            try {
              parse(&Input, &value, &zilch);
            } catch (const TopLevelJump&) {
              top_of_loop();
              throw;
            }
          },
          &unwound);
      if (last != nullptr) *last = value == nullptr ? "nil" : value_text(value);
      free_quoly(&value);
      if (in.at_eof()) break;
      in.get();
    }
    Input = nullptr;
    return out;
  }

  // The value of the expression e now, "none" when it has none (an
  // undefined variable, a cancelled array).
  std::string value_of(const std::string& e) {
    run("probe := (" + e + "):\n");
    const varptr v = variable_named("probe");
    const std::string text = v == nullptr ? "none" : value_text(v->val);
    run("@probe:\n");
    return text;
  }

  // Every variable and array freed, the previous result too.
  static void forget_values() {
    clear_scalar_variables();
    clear_arrays();
    free_quoly(&prevnum);
  }

  bool loaded_;
  LoopHooks hooks_;
  ScopedValue<bool> push_, interrupts_;
  ScopedValue<std::int32_t> addresser_;
};

// A reader of the operand {o} with a later argument {w}; `plain` is that
// argument without a write.
struct Reader {
  const char* form;
  const char* plain;
};
const Reader readers[] = {
    {"{o} * {w}", "(x + 2)"},    {"{o} + {w}", "x"},
    {"{o} - {w}", "y"},          {"{o}^{w}", "2"},
    {"{o} * {w} + 1", "x"},      {"Deg(^{o}, {w})", "x"},
    {"Deg({o}, {w})", "y"},      {"Codeg(^{o}, {w})", "x"},
    {"Codeg({o}, {w})", "y"},    {"Coef({o}, {w})", "2"},
    {"Mcoef(^{o}, {w})", "x^2"}, {"Mdiv(^{o}, {w})", "x"},
    {"Deriv({o}, x, {w})", "1"}, {"Content(^{o}, {w})", "x"},
    {"Content({o}, {w})", "y"},  {"Monomials(^{o}, [mm], {w})", "0"},
};

// A write of the operand: `effect` as statements of their own, and the
// later argument {w} that makes it while the operand is read. {e} is the
// effect; "\n" in an argument separates the statements typed at the
// nested level it opens.
struct Writer {
  const char* effect;
  const char* argument;
};

struct Operand {
  const char* name;   // as it is read
  const char* setup;  // the statements that make it
  Writer writers[9];
};

constexpr const char* functions =
    "Func Wa(e) = v := 7; e.\n"
    "Func Wc(e) = @v; e.\n"
    "Func Wr(e) = @[a]; e.\n";

const Operand operands[] = {
    {"v",
     "v := x^3 + 2*x^2*y + 1:\nz := 5*y:\n",
     {{"v := 0", "if 1 then {e}; {w} fi"},
      {"v := v*x + 1", "if 1 then {e}; {w} fi"},
      {"v :+ 1", "if 1 then {e}; {w} fi"},
      {"@v", "if 1 then {e}; {w} fi"},
      {"Move(v, z)", "if 1 then {e}; {w} fi"},
      {"Swap(v, z)", "if 1 then {e}; {w} fi"},
      {"v := 7", "Wa({w})"},
      {"@v", "Wc({w})"},
      {"Swap(z, v)", "if 1 then &_P; {w} fi\n{e}:\n&_p"}}},
    {"a[2]",
     "Array c[3], a[3]:\nc[1] := 1: c[2] := x: c[3] := 3:\n"
     "a[1] := 1: a[2] := x^3 + 2*x^2*y + 1: a[3] := y:\n",
     {{"a[2] := 0", "if 1 then {e}; {w} fi"},
      {"a[2] :+ 1", "if 1 then {e}; {w} fi"},
      {"@[c]", "if 1 then {e}; {w} fi"},
      {"@[a]", "if 1 then {e}; {w} fi"},
      {"Swap(a[2], a[3])", "if 1 then {e}; {w} fi"},
      {"@[a]", "Wr({w})"},
      {"Array b[2]", "if 1 then {e}; {w} fi"},
      {"@[c]", "if 1 then &_P; {w} fi\n{e}:\n&_p"},
      {"a[2] := 9", "if 1 then &_P; {w} fi\n{e}:\n&_p"}}},
    {"s[2,2]",
     "Array s[3,3] Sparse:\ns[1,1] := 1: s[2,2] := x^3 + 2*x^2*y + 1: s[2,3] := y:\n",
     {{"s[2,2] := 0", "if 1 then {e}; {w} fi"},
      {"@[s]", "if 1 then {e}; {w} fi"},
      {"Swap(s[2,2], s[3,3])", "if 1 then {e}; {w} fi"},
      {"s[2,2] :+ 1", "if 1 then {e}; {w} fi"},
      {"s[2,2] := 0", "if 1 then &_P; {w} fi\n{e}:\n&_p"},
      {"@[s]", "if 1 then &_P; {w} fi\n{e}:\n&_p"},
      {"s[2,2] := x", "if 1 then &_P; {w} fi\n{e}:\n&_p"},
      {"Move(s[2,2], s[3,3])", "if 1 then &_P; {w} fi\n{e}:\n&_p"},
      {"s[2,2] := s[2,2] + 1", "if 1 then &_P; {w} fi\n{e}:\n&_p"}}},
};

TEST_F(HeldOperands, AnOperandWrittenWhileItIsReadIsReadAsItWas) {
  PolyVars vars{"x", "y"};
  run(functions);
  for (const Operand& operand : operands) {
    for (const Reader& reader : readers) {
      const std::string read = replace_all(reader.form, "{o}", operand.name);
      // Without a write: the value the statement has, as an argument (the
      // right side of an assignment) and as a statement of its own.
      run(operand.setup);
      const std::string expected = value_of(replace_all(read, "{w}", reader.plain));
      forget_values();
      for (const Writer& writer : operand.writers) {
        for (const bool statement : {false, true}) {
          const std::string whole =
              replace_all(replace_all(writer.argument, "{e}", writer.effect), "{w}", reader.plain);
          const std::size_t level_lines = whole.find('\n');
          const std::string first = replace_all(read, "{w}", whole.substr(0, level_lines));
          const std::string rest =
              level_lines == std::string::npos ? "" : whole.substr(level_lines + 1) + "\n";
          SCOPED_TRACE(first + (statement ? " (a statement)" : "") + " ~ " + writer.effect);
          forget_values();

          run(operand.setup);
          run(std::string(writer.effect) + ":\n");
          const std::string written = value_of(operand.name);
          forget_values();

          NodeBalance census;
          run(operand.setup);
          std::string value;
          const std::string out =
              statement ? run(first + ";\n" + rest, &value) : run("r := " + first + ":\n" + rest);
          if (!statement) value = value_of("r");
          EXPECT_EQ(out.find("Tavrin error"), std::string::npos) << out;
          EXPECT_EQ(out.find("Inappropriate"), std::string::npos) << out;
          EXPECT_EQ(value, expected) << out;
          EXPECT_EQ(value_of(operand.name), written) << out;
          forget_values();
        }
      }
    }
  }
}

// An interrupt inside a product (the poll every 65536 term products) opens
// a level at which a factor is written: the product goes on with the value
// it began with.
TEST_F(HeldOperands, AFactorWrittenAtALevelOpenedInsideTheProductIsReadAsItWas) {
  PolyVars vars{"x", "y"};
  ScopedValue<std::int32_t> packing(flat_kronecker_ratio, 0);  // the term-by-term sums poll
  const std::string setup = "f := (x + y + 1)^30:\ng := (x - 2*y + 3)^30:\nr := 5:\nz := 0:\n";
  struct Case {
    const char* statement;  // the statement interrupted
    const char* oracle;     // r's value without the write ("" for a loop)
  };
  const Case cases[] = {
      {"r := f * g:", "(x + y + 1)^30 * (x - 2*y + 3)^30"},
      {"r := g * f + 1:", "(x + y + 1)^30 * (x - 2*y + 3)^30 + 1"},
      {"r := Deg(f * g, y):", "60"},
      {"for i = 1 to 2 do r := f * (f + i) od:", ""},
  };
  for (const Case& c : cases) {
    for (const char* write : {"f := 0:", "@f:", "Move(f, g):", "Swap(f, z):"}) {
      SCOPED_TRACE(std::string(c.statement) + " ~ " + write);
      forget_values();
      NodeBalance census;
      run(setup);
      interrupt_requested = 1;
      const std::string out = run(std::string(c.statement) + "\nseen := r:\n" + write + "\n&_p\n");
      interrupt_requested = 0;
      EXPECT_NE(out.find("*** New command level."), std::string::npos) << out;
      EXPECT_EQ(out.find("Tavrin error"), std::string::npos) << out;
      EXPECT_EQ(value_of("seen"), "number 5") << "the level opened after the product";
      const std::string got = value_of("r");
      forget_values();
      if (c.oracle[0] == '\0') continue;  // the loop's second round reads the new f
      EXPECT_EQ(out.find("Inappropriate"), std::string::npos) << out;
      run(setup);
      EXPECT_EQ(got, value_of(c.oracle));
      forget_values();
    }
  }
}

// A writer finds its place before the statements that compute what it
// writes: an assignment's right side, a built-in's later arguments, the body
// of a function with a "^" parameter. When those cancel the variable or an
// array, remove the sparse entry or move the array's cells down, the write
// goes to the same variable or element found again (a variable made again
// by an assignment, an array gone refused with error 28), never to the cell
// that another variable took over.
TEST_F(HeldOperands, AWriterFindsItsPlaceAgainAfterPlacesWereRemoved) {
  PolyVars vars{"x", "y"};
  run("Func Cv(e) = @v; w := 7; e.\n"
      "Func Cc(e) = @[c]; e.\n"
      "Func Ca(e) = @[a]; e.\n"
      "Func Zs(e) = s[2,2] := 0; e.\n"
      "Func Fr(^r) = @v; w := 4; r := 3.\n"
      "Func Fe(^r) = @[c]; r := x.\n"
      "Func Fa(^r, e) = r := r + e.\n");
  const std::string setup =
      "v := 1:\nArray c[2], a[3], b[2]:\nc[1] := 1: c[2] := 2: a[1] := 1: a[2] := x: a[3] := y:\n"
      "b[1] := 4: b[2] := 5:\nArray s[3,3] Sparse:\ns[2,2] := x + 1: s[3,3] := 9:\n";
  struct Case {
    const char* statement;
    const char* checks;  // "e=value;..." the value each expression has afterwards
    std::int32_t error;  // the error the statement reports, 0 for none
  };
  const Case cases[] = {
      {"v := Cv(5):", "v=number 5;w=number 7", 0},
      {"v :+ (Cv(2)):", "v=number 2;w=number 7", 0},
      {"a[1] := Cc(9):", "a[1]=number 9;a[2]=x;b[1]=number 4;b[2]=number 5", 0},
      {"b[2] := Cc(y):", "b[2]=y;b[1]=number 4;a[3]=y", 0},
      {"a[2] := Ca(8):", "a[2]=none;b[1]=number 4", 28},
      {"s[2,2] := Zs(6):", "s[2,2]=number 6;s[3,3]=number 9", 0},
      {"s[1,1] := Zs(x):", "s[1,1]=x;s[2,2]=number 0", 0},
      {"Fr(v):", "v=none;w=number 4", 0},
      {"Fe(a[2]):", "a[2]=x;a[1]=number 1;b[2]=number 5", 0},
      {"Fa(b[1], Cc(2)):", "b[1]=number 6;b[2]=number 5;a[2]=x", 0},
      {"Move(b[1], b[Cc(2)]):", "b[1]=number 5;b[2]=number 0;a[1]=number 1", 0},
      {"Swap(a[3], b[Cc(1)]):", "a[3]=number 4;b[1]=y;a[2]=x", 0},
      {"Split(^a[2], Cc(1), q):", "a[2]=number 0;q=number 1;b[1]=number 4", 0},
      {"Recoef(b[2], Cc(1)) := 7:", "b[2]=7*x + 5;a[1]=number 1", 0},
      {"Recoef(a[1], Ca(1)) := 7:", "a[1]=none", 28},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.statement);
    forget_values();
    NodeBalance census;
    run(setup);
    const std::string out = run(std::string(c.statement) + "\n");
    EXPECT_EQ(out.find("Tavrin error"), std::string::npos) << out;
    if (c.error == 0) {
      EXPECT_EQ(out.find("Inappropriate"), std::string::npos) << out;
    } else {
      EXPECT_TRUE(reports(out, c.error)) << out;
    }
    std::string checks = c.checks;
    for (std::size_t at = 0; at < checks.size();) {
      const std::size_t end = std::min(checks.find(';', at), checks.size());
      const std::string check = checks.substr(at, end - at);
      const std::size_t eq = check.find('=');
      EXPECT_EQ(value_of(check.substr(0, eq)), check.substr(eq + 1)) << check << "\n" << out;
      at = end + 1;
    }
    forget_values();
  }
}

}  // namespace
}  // namespace tavrin::test
