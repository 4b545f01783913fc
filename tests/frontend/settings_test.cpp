// The settings table driven through the statements that use it: the valued
// and bare forms of every switch, the refusals of the numeric settings, the
// print rules when replayed from stored text, and the memory report.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <regex>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/freelists.h"
#include "numbers/garbage.h"
#include "gcd/gcd_stash.h"
#include "toplevel/charsets.h"
#include "toplevel/dispatch.h"
#include "toplevel/language_services.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "lang/variables.h"
#include "frontend/settings.h"
#include "support/data_tables.h"
#include "support/output_capture.h"
#include "support/poly_support.h"
#include "support/statements.h"

namespace tavrin::test {
namespace {

// Every global a setting writes.
auto settings() {
  return std::tie(diskstore, monomial_list, lagrange_stash, extra_line, alt_form_display,
                  mod_matrix_ok, noisy, chinhensel, uglyprint, continuation, verbose, windy,
                  danger_ok, close_inpuf, hen_check, errorpush, nomodpolyreadin, timerflag, pos_mod,
                  do_line_sup, try_rat, rat_yes, chpoly_block, poly_cutoff, aux_num_2factor,
                  aux_num_1factor, detcutoff, gauss_cutoff, rat_det_method_cut, mod_det_method_cut,
                  addresser, laurent, m_interrupt, command_int, cmd_modder, pseudet_heur,
                  dispcutoff, promptsize, disp_size);
}
template <class... T>
std::tuple<T...> values(const std::tuple<T&...>& refs) {
  return refs;
}
auto snapshot() { return std::make_pair(values(settings()), std::string(prompt)); }

// Puts every setting back at the end of a test.
struct SettingsScope {
  decltype(snapshot()) saved = snapshot();
  ~SettingsScope() {
    settings() = saved.first;
    std::strcpy(prompt, saved.second.c_str());
  }
};

class Settings : public testing::Test {
 protected:
  Settings() {
    load_data_tables();
    init_character_sets();
    make_token_ring();
  }

  // Runs one statement typed at the terminal, or with stored replayed from
  // stored text (captured as a function body is); returns what it printed
  // and sets *code to the user error that stopped it (0: none).
  std::string run(const std::string& text, std::int32_t* code = nullptr, bool stored = false) {
    TextInput in(text + "\n");
    FILEPtr stream = &in;
    ScopedValue<FILEPtr> input(Input, &in);
    leftover[0] = '\0';
    nameptr body = nullptr;
    if (stored) save_input_stream(&body);
    nameptr cursor = body;
    scanner(&stream, &token, &cursor);
    quoly value = nullptr;
    bool unwound = false;
    const std::string out = output_of([&] { parse(&stream, &value, &cursor); }, &unwound);
    free_quoly(&value);
    freename(body);
    if (code != nullptr) {
      *code = 0;
      for (std::int32_t c = 1; unwound && c < 378 && *code == 0; ++c)
        if (reports(out, c)) *code = c;
    }
    return out;
  }
  std::string replay(const std::string& text) { return run(text, nullptr, true); }

  SettingsScope settings_;
  ScopedValue<char> leftover_{leftover[0]};
};

// The name that selects a valued letter (the "_" forms are renamed).
std::string valued_name(char letter) {
  static const std::map<char, std::string> underscored = {
      {'2', "_l"}, {'5', "_t"}, {'6', "_s"}, {'7', "_L"}};
  const auto it = underscored.find(letter);
  return it != underscored.end() ? it->second : std::string(1, letter);
}

// The bare command of a switch code.
std::string bare_name(unsigned char code) {
  if (code == 0xD8) return "_s;";
  if (code == 0xD9) return "_t;";
  if (code == '5') return "_L";
  return std::string(1, static_cast<char>(code));
}

bool current(const switch_row& row) {
  return row.flag_var != nullptr ? *row.flag_var : *row.word_var != 0;
}

// For every switch with a valued form: its own value gives the same-value
// message and changes nothing; 2 is refused with nothing changed; the
// other value is set with the valued message, and the bare command puts
// the first value back with the bare message.
TEST_F(Settings, EverySwitchRowReadsSetsAndFlipsOneVariable) {
  int rows = 0;
  for (int c = 1; c < 128; ++c) {
    const switch_row* row = valued_switch(static_cast<char>(c));
    if (row == nullptr) continue;
    ++rows;
    const std::string name = valued_name(static_cast<char>(c));
    const bool was = current(*row);
    const auto before = snapshot();

    EXPECT_EQ(run("&(" + name + " = " + (was ? "1" : "0") + ")"), row->same) << name;
    EXPECT_EQ(snapshot(), before) << name;

    if (c != 'n') {  // "n" takes any value: on only for 1
      std::int32_t code = 0;
      run("&(" + name + " = 2)", &code);
      EXPECT_EQ(code, 133) << name;
      EXPECT_EQ(snapshot(), before) << name;
    }

    const char* on = row->on != nullptr ? row->on : row->bare_on;
    const char* off = row->off != nullptr ? row->off : row->bare_off;
    EXPECT_EQ(run("&(" + name + " = " + (was ? "0" : "1") + ")"), was ? off : on) << name;
    EXPECT_EQ(current(*row), !was) << name;
    if (row->bare == 0) continue;
    // Blanks continue lines while ugly display is on: the bare form has none.
    EXPECT_EQ(run("&" + bare_name(row->bare)), was ? row->bare_on : row->bare_off) << name;
    EXPECT_EQ(snapshot(), before) << name;
  }
  EXPECT_EQ(rows, 17);
}

// Refusals leave every setting as it was; accepted values are clamped and
// narrowed as their rows say.
TEST_F(Settings, NumericSettingsCheckClampAndRefuse) {
  struct Refusal {
    const char* statement;
    std::int32_t code;
  };
  const Refusal refusals[] = {
      {"&(A = 9)", 272},    {"&(A = 20001)", 272}, {"&(X = 299)", 295},
      {"&(X = 4584)", 295}, {"&(u = -1)", 137},    {"&(# = -3)", 137},
      {"&(m = 3)", 146},    {"&(_d = 0)", 147},    {"&(_d = 40000)", 147},
      {"&(t = 1/2)", 147},  {"&(zz = 1)", 136},    {"&(_k = 1)", 136},
      {"&(I = 1)", 136},    {"&(e 1)", 4},         {"&(e = 'x')", 141},
      {"&(t = 1", 135},     {"&(L = -1)", 137},    {"&(e = 99999999999)", 137},
      {"&(e = 'abc", 209},  {"&(# = [a])", 28},
  };
  const auto before = snapshot();
  for (const Refusal& r : refusals) {
    std::int32_t code = 0;
    std::string text = r.statement;
    if (r.code == 209) text += std::string(300, 'z');  // an unterminated long string
    run(text, &code);
    EXPECT_EQ(code, r.code) << r.statement;
    EXPECT_EQ(snapshot(), before) << r.statement;
  }

  // What the messages do not show: the variables beside the one named.
  run("&(L = 100)");
  EXPECT_EQ(mod_det_method_cut, 3);
  run("&(m = 2)");
  EXPECT_TRUE(command_int);
  EXPECT_EQ(cmd_modder, 2);
  run("&(m = 0)");
  EXPECT_FALSE(command_int);
  run("&(_t = 0)");
  EXPECT_FALSE(rat_yes);
  run("&(U = 1)");
  EXPECT_EQ(continuation, ' ');
  run("&U");
  EXPECT_EQ(continuation, '`');
  run("&(M = 'abcdefghijkl')");
  EXPECT_STREQ(prompt, "abcdefghij");
  run("&(M = ' ')");
  EXPECT_STREQ(prompt, "\r");
  EXPECT_EQ(promptsize, 0);
}

// Replayed from stored text the "T" rule prints nothing and the "V" rule
// prints only with verbose; "always" still prints. The values change all
// the same.
TEST_F(Settings, StoredTextFollowsThePrintRules) {
  ScopedValue<bool> quiet(verbose, false);
  const bool h = alt_form_display;
  EXPECT_EQ(replay(std::string("&(H = ") + (h ? "0" : "1") + ");"), "");
  EXPECT_EQ(alt_form_display, !h);
  EXPECT_EQ(replay(std::string("&(H = ") + (h ? "0" : "1") + ");"), "");
  EXPECT_EQ(replay("&(X = 1000);"), "");
  EXPECT_EQ(aux_num_1factor, 1000);
  EXPECT_EQ(replay("&(a = 0);"), "");
  EXPECT_EQ(addresser, 0);
  EXPECT_EQ(replay(std::string("&(E = ") + (extra_line ? "1" : "0") + ");"),
            " Already had that value; no change in extra line display.\n");
  EXPECT_EQ(replay("&O;"), "");
  {
    ScopedValue<bool> loud(verbose, true);
    EXPECT_EQ(replay("&(X = 1200);"), " first auxiliary prime search factor now 1200.\n");
    EXPECT_EQ(replay("&(H = 0);"), "");  // "T" ignores verbose
  }
  EXPECT_EQ(replay("&>;"), "");
  EXPECT_TRUE(leave_flag);
  leave_flag = false;
}

// The memory report counts freed scalar variables and adds the GCD cache's
// bytes to the system data size.
TEST_F(Settings, MemoryReportCountsVariablesAndTheCache) {
  BigModeGuard big;
  std::int32_t code = 0;
  run("a1 := 5;", &code);
  run("a2 := 7;", &code);
  ASSERT_EQ(code, 0);
  const std::int32_t freed_before = count_free_vars(false);
  for (const char* name : {"a1", "a2"}) {
    varptr v = variable_named(name);
    ASSERT_NE(v, nullptr);
    const std::int32_t b = hash(name, sca_buckets);
    for (varptr* p = &sca_store[b]; *p != nullptr; p = &(*p)->next) {
      if (*p != v) continue;
      *p = v->next;
      free_quoly(&v->val);
      v->next = var_garb;
      var_garb = v;
      break;
    }
  }
  ASSERT_EQ(count_free_vars(false), freed_before + 2);

  PolyVars vars{"t"};
  ScopedValue<std::int16_t> stashing(lookupgcd, 1);
  Poly u("t^3 + 2*t + 1"), v("t^2 + 5");
  poly holder = nullptr;
  gcdhash(u.get(), v.get(), &holder);
  ASSERT_GT(mass_gcd_stash(), 0);

  const std::string out = output_of([] { garbage('g'); });
  std::map<std::string, long> counts;
  const std::regex line("([a-z ]+): +([0-9]+)");
  for (std::sregex_iterator it(out.begin(), out.end(), line), end; it != end; ++it)
    counts[(*it)[1]] = std::stol((*it)[2]);
  EXPECT_EQ(counts["var count"], freed_before + 2) << out;
  const long base = counts["num count"] * 8 + counts["im count"] * 32 + counts["poly count"] * 16 +
                    counts["quoly count"] * 20;
  EXPECT_EQ(static_cast<std::uint32_t>(base), garbsize());
  EXPECT_EQ(counts["total garbage"],
            base + counts["var count"] * 28 + counts["array count"] * 80 +
                counts["name count"] * 40 + counts["fix count"] * 16 + counts["colm count"] * 12 +
                counts["sparse count"] * 8197 + counts["matrix col count"] * 16 +
                counts["poly pointer count"] * 64 + counts["form node count"] * 12 +
                counts["cond expr count"] * 24 + counts["work arrays"] * 4000000)
      << out;
  EXPECT_EQ(counts["system data size"], size_data_strucs + mass_gcd_stash());
  EXPECT_EQ(counts["total size"], counts["total garbage"] + counts["system data size"]);
  free_gcd_stash();
}

// The statistics command shows the figures the last expansion by minors
// reported itself: its leaf count, a memory mark, no branch still running and
// no cache left (each expansion frees its table).
TEST_F(Settings, StatisticsShowTheLastExpansionByMinors) {
  BigModeGuard big;
  ScopedValue<std::uint64_t> budget(totalavailablememory, std::uint64_t{1} << 30);
  addresser = 1;  // put back by the fixture
  auto figures = [](const std::string& out, const char* after) {
    std::vector<long> v;
    const std::size_t at = out.find(after);
    if (at == std::string::npos) return v;
    const std::regex number("[0-9]+");
    const std::string rest = out.substr(at + std::strlen(after), out.find('\n', at) - at);
    for (std::sregex_iterator it(rest.begin(), rest.end(), number), end; it != end; ++it)
      v.push_back(std::stol(it->str()));
    return v;
  };
  std::int32_t code = 0;
  EXPECT_EQ(run("Array ms[6,6] Sparse:", &code), "");
  for (const char* e :
       {"1,1] := 1", "1,2] := 3", "2,2] := 2", "2,3] := 1", "2,4] := -2", "3,2] := 2", "3,3] := 4",
        "3,4] := -4", "4,1] := -2", "4,2] := -6", "4,4] := 4", "5,1] := -2", "5,2] := -6",
        "5,4] := 12", "5,5] := 5", "6,3] := -3", "6,4] := 2", "6,5] := 5", "6,6] := 6"})
    EXPECT_EQ(run(std::string("ms[") + e + ":", &code), "") << e;
  ASSERT_EQ(code, 0);
  run("&(D = 100)");
  verbose = true;
  const std::string det = run("d := Det[ms]:", &code);
  verbose = false;
  ASSERT_EQ(code, 0);
  const std::vector<long> own = figures(det, "leaf count, stash nodes, hits:");
  ASSERT_EQ(own.size(), 4u) << det;
  EXPECT_NE(det.find("Sparse minors det, side 6"), std::string::npos) << det;
  EXPECT_GT(own[1], 1) << det;
  const std::string out = run("&j");
  const std::vector<long> shown = figures(out, "stash nodes, hits:");
  ASSERT_EQ(shown.size(), 8u) << out;
  EXPECT_GT(shown[1], 0) << out;       // the memory mark of the expansion
  EXPECT_EQ(shown[3], 0) << out;       // minor prime: no table
  EXPECT_EQ(shown[4], 0) << out;       // total branches: none running
  EXPECT_EQ(shown[5], own[1]) << out;  // leaf count
  EXPECT_EQ(shown[6], 0) << out;       // stash nodes
  EXPECT_EQ(shown[7], 0) << out;       // hits: nothing was purged
  run("@[ms]:");
  run("@d:");
}

}  // namespace
}  // namespace tavrin::test
