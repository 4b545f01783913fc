// "Float" bodies run in-process: the routes their statements take (the
// router's record and the GCD stage counts), the modes the engines see, and
// the flags after an error or an interrupt inside the floating work.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "arrays/array_store.h"
#include "arrays/sparse_store.h"
#include "arrays/targets.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/jumps.h"
#include "core/mode_guard.h"
#include "det/router.h"
#include "gcd/gcd.h"
#include "lang/expressions.h"
#include "lang/variables.h"
#include "matrix/matrix_support.h"
#include "numbers/freelists.h"
#include "support/data_tables.h"
#include "support/output_capture.h"
#include "support/ratref.h"
#include "support/value_form.h"
#include "toplevel/charsets.h"
#include "toplevel/command_loop.h"
#include "toplevel/dispatch.h"
#include "toplevel/error_context.h"
#include "toplevel/scanner.h"
#include "toplevel/startup.h"
#include "toplevel/state.h"

namespace tavrin::test {
namespace {

struct Flags {
  bool flote, lint, modular, real, statement;
  static Flags now() { return {flotemode, lintmode, modularmode, integerflag, float_statement}; }
  bool operator==(const Flags&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Flags& f) {
  return os << "flote " << f.flote << " lint " << f.lint << " modular " << f.modular
            << " integerflag " << f.real << " float_statement " << f.statement;
}

// What the router was asked, with the modes it saw.
struct Request {
  det_method method;
  Flags flags;
};
std::vector<Request> requests;
bool interrupt_at_request = false;
void record(det_method m) {
  requests.push_back({m, Flags::now()});
  if (interrupt_at_request) {
    interrupt_at_request = false;
    interrupt_requested = 1;  // honoured at the next poll, inside the floating work
  }
}

bool took(det_method m) {
  for (const Request& r : requests)
    if (r.method == m) return true;
  return false;
}

class FloatEngines : public MatrixTest {
 protected:
  void SetUp() override {
    MatrixTest::SetUp();
    load_data_tables();
    init_character_sets();
    make_token_ring();
    install_language();
    install_arrays();
    install_command_loop();
    tt_flag = true;
    time_to_quit = false;
    requests.clear();
  }
  void TearDown() override {
    run("@[**]:");  // every array cancelled
    MatrixTest::TearDown();
  }

  // Runs the statements of text, one a line, with `level` the input of a
  // nested command level; the printed text, and whether it unwound.
  std::string run(const std::string& text, const std::string& level = "", bool* unwound = nullptr) {
    TextInput nested(level);
    ScopedValue<FILEPtr> reader(Input, &nested);
    TextInput in(text + "\n");  // a statement's end is not the end of input
    FILEPtr stream = &in;
    leftover[0] = '\0';
    bool any = false;
    std::string out;
    for (;;) {
      scanner(&stream, &token, &zilch);
      if (in.at_eof()) break;
      quoly value = nullptr;
      bool u = false;
      out += output_of([&] { parse(&stream, &value, &zilch); }, &u);
      free_quoly(&value);
      if (u) {
        any = true;
        top_of_loop();
      }
      if (in.at_eof()) break;
      in.get();
    }
    if (unwound != nullptr) *unwound = any;
    return out;
  }

  static RatRef variable(const char* name) {
    tokentipe t{};
    std::snprintf(t.name, sizeof t.name, "%s", name);
    t.address = -1;
    varptr v = find_var(&t);
    EXPECT_NE(v, nullptr) << name;
    // A number: its value at any point of the adjoined variables.
    const std::vector<RatRef> point(static_cast<std::size_t>(number_polys), RatRef(0));
    return v == nullptr ? RatRef(0) : *value_at(v->val, point);
  }

  ScopedValue<void (*)(det_method)> hook_{det_route_hook, record};
  ScopedValue<command_level_runner> runner_{run_command_level, command_level};
  ScopedValue<error_context_printer> context_{print_error_context, print_context};
  ScopedValue<void (*)()> poll_{TextInput::on_interrupt, nullptr};
  ScopedValue<bool> push_{errorpush, false};
  ScopedValue<bool> interrupts_{command_int, true};
  ScopedValue<std::int32_t> level_{levelcount, 1};
  ScopedValue<std::int32_t> cut_{rat_det_method_cut};
  ScopedValue<std::int32_t> mod_cut_{mod_det_method_cut};
  ScopedValue<bool> verbose_{verbose, false};
};

// |a - b| <= |b| / 10^digits (|b| taken as 1 when b is 0).
bool close(const RatRef& a, const RatRef& b, std::int64_t digits) {
  const RatRef d = a - b;
  const RatRef scale = b.is_zero() ? RatRef(1) : b;
  // |d| * 10^digits <= |scale| compared on numerators over one denominator.
  const BigRef lhs = (d.num() * scale.den()).abs() * RatRef(10).pow(digits).num();
  const BigRef rhs = (scale.num() * d.den()).abs();
  return lhs <= rhs;
}

// Each floating route a statement of a Float body reaches, with the modes
// the engine saw, and the exact statements around it and inside it.
TEST_F(FloatEngines, FloatStatementsReachTheFloatingRoutesAndExactOnesKeepTheirs) {
  const Flags floating{true, true, false, true, true};
  run("[h] := [<i = 1, 5><j = 1, 5> i^j + 3*j - i^2]:\ne := Det[h]:");
  ASSERT_TRUE(took(det_method::int_determ));
  requests.clear();
  run("if 1 then Float; f := Det[h] fi:");
  ASSERT_TRUE(took(det_method::standard_matrix_invert));
  EXPECT_FALSE(took(det_method::int_determ));
  EXPECT_EQ(requests.front().flags, floating);
  EXPECT_TRUE(close(variable("f"), variable("e"), 15));

  requests.clear();  // "!" and a function call inside the body are exact
  run("Func D(a) = Det[h].\nif 1 then Float; !Det[h]; g := D(1) fi:");
  ASSERT_EQ(requests.size(), 2u);
  for (const Request& r : requests) EXPECT_EQ(r.method, det_method::int_determ);
  EXPECT_EQ(variable("g"), variable("e"));

  requests.clear();  // small sparse: the long-double expansion by minors
  run("Array s[3,3] Sparse:\ns[1,1] := 2: s[1,3] := 1/3: s[2,2] := 5: s[3,1] := 7: s[3,3] := 11:");
  run("e := Det[s]:\nif 1 then Float; f := Det[s] fi:");
  EXPECT_TRUE(took(det_method::sparse_minors_det));
  EXPECT_TRUE(took(det_method::int_sparse_minors_det));
  EXPECT_TRUE(close(variable("f"), variable("e"), 17));

  // One variable: the elimination's GCDs are floating; "&(L = 1)": the
  // floating Lagrange determinant. Both against the exact determinant at
  // a point.
  run("&(J = x)\n[v] := [<i = 1, 3><j = 1, 3> (x + i)^j + j*x]:\ne := Det[v]:\ne := e#(x = 3/2):");
  const long before = polygcd_stages.one_variable;
  requests.clear();
  run("if 1 then Float; [d] := Det[v] fi:\nf := d[1]#(x = 3/2):");
  EXPECT_GT(polygcd_stages.one_variable, before) << "fl_basic_poly_gcd";
  ASSERT_TRUE(took(det_method::standard_matrix_invert));
  EXPECT_EQ(requests.front().flags, floating);
  EXPECT_TRUE(close(variable("f"), variable("e"), 15));
  run("&(L = 1)\n[v4] := [<i = 1, 4><j = 1, 4> (x + i)^(j - 1) + i*j]:\ne := Det[v4]:");
  run("e := e#(x = 3/2):");
  requests.clear();
  run("if 1 then Float; [d4] := Det[v4] fi:\nf := d4[1]#(x = 3/2):");
  EXPECT_TRUE(took(det_method::fl_poly_determ));
  EXPECT_TRUE(close(variable("f"), variable("e"), 12));
  run("&(J = -x)");
  EXPECT_EQ(Flags::now(), (Flags{false, false, false, false, false}));
}

// An error and an interrupt inside the floating work, an error of the body
// outside it and a function left by "&}" after its "Float": every flag as
// before, the values the statements did not finish untouched.
TEST_F(FloatEngines, ErrorsAndInterruptsLeaveEveryFlag) {
  const Flags exact = Flags::now();
  ASSERT_EQ(exact, (Flags{false, false, false, false, false}));
  run("[h] := [<i = 1, 4><j = 1, 4> i^j + j]:\n[z] := [<i = 1, 3><j = 1, 3> (j - 1)*i]:");
  bool unwound = false;
  std::string out = run("if 1 then Float; [y] := [z]^-1 fi:", "", &unwound);
  EXPECT_TRUE(unwound && reports(out, 44)) << out;  // singular, found in floating mode
  EXPECT_TRUE(took(det_method::standard_matrix_invert));
  EXPECT_EQ(Flags::now(), exact);
  out = run("if 1 then Float; 1/0 fi:", "", &unwound);
  EXPECT_TRUE(unwound && reports(out, 22)) << out;
  EXPECT_EQ(Flags::now(), exact);

  // Interrupted in the floating power: the nested level computes exactly,
  // "&_p" finishes the power.
  interrupt_at_request = true;
  out = run("if 1 then Float; [w] := [h]^-2 fi:", "x := 1/3:\n&_p\n", &unwound);
  EXPECT_FALSE(unwound) << out;
  EXPECT_NE(out.find("*** Resuming earlier command level"), std::string::npos) << out;
  EXPECT_EQ(variable("x"), RatRef(1, 3));
  EXPECT_EQ(Flags::now(), exact);
  run("[r] := [w]*[h]*[h]:\nt := Trace[r]:\nu := Sum[r]:");
  EXPECT_TRUE(close(variable("t"), RatRef(4), 12));  // h^-2 h^2: the identity
  EXPECT_TRUE(close(variable("u"), RatRef(4), 12));

  // "&@" abandons it: no result, the flags as before.
  interrupt_at_request = true;
  out = run("if 1 then Float; [q] := [h]^-2 fi:", "&@\n", &unwound);
  EXPECT_TRUE(unwound) << out;
  EXPECT_EQ(Flags::now(), exact);
  tokentipe q{"q", -1};
  EXPECT_EQ(find_array(&q), nullptr);

  run("Func F(a) = Float; &}; 2.\nk := F(1) + 1/3:");
  EXPECT_EQ(variable("k"), RatRef(1, 3));
  EXPECT_EQ(Flags::now(), exact);
}

}  // namespace
}  // namespace tavrin::test
