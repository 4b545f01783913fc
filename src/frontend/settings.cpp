#include "frontend/settings.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_multiply.h"
#include "numbers/freelists.h"
#include "numbers/mod_journal.h"
#include "numbers/node_handles.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "toplevel/dispatch.h"
#include "toplevel/display.h"
#include "toplevel/language_services.h"
#include "toplevel/output_file.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "arrays/array_operands.h"
#include "frontend/command_files.h"
#include "frontend/commands.h"
#include "frontend/modding_out.h"
#include "frontend/poly_vars.h"
#include "frontend/ring_change.h"
#include "frontend/stored_values.h"

namespace tavrin {

namespace {

constexpr std::int32_t ordinary_detcutoff_max = 40;
constexpr std::size_t string_limit = 255;

using tokens::is_tok;

bool is_number(quoly q) { return q != nullptr && q->numb; }

void say(print_rule r, nameptr* flag, const char* text) {
  if (shows(r, flag)) std::printf("%s", text);
}

// ---- The switches ------------------------------------------------------------------------

void ugly_continuation() { continuation = uglyprint ? ' ' : '`'; }
void rat_follows_try() { rat_yes = try_rat; }

constexpr print_rule A = print_rule::always;
constexpr print_rule T = print_rule::top;

const char ugly_on[] =
    " Will do ugly display style.\n"
    " WARNING. Func, for, if, and while from terminal don't work when uglyprint is on.";

const switch_row switches[] = {
    {'&', '&', &diskstore, nullptr, " Will use disk space for virtual memory.\n",
     " No disk space for virtual memory.\n", A, false, " Will use disk space as virtual memory.\n",
     " No disk space as virtual memory.\n",
     " Already had that value; no change in using disk space for virtual memory.\n", A, nullptr},
    {'2', '2', &monomial_list, nullptr, " Will display polynomials as list of monomials.\n",
     " Will display polynomials in nested form.\n", T, false, nullptr, nullptr,
     " Already had that value; no change in monomial display of polynomials.\n", A, nullptr},
    {'5', '7', nullptr, &lagrange_stash,
     " Will stash coefficents in LaGrange Det computation -- if you have specified a save "
     "file.\n",
     " Will not stash coefficents in LaGrange Det computation.\n", T, false,
     " Will write LaGrange determinants to file.\n", " No writing LaGrange determinants to file.\n",
     " Already had that value; no change in writing LaGrange determinants to file.\n", A, nullptr},
    {'E', 'E', &extra_line, nullptr, " Will do extra line after display.\n",
     " No extra line after display.\n", A, false, nullptr, nullptr,
     " Already had that value; no change in extra line display.\n", A, nullptr},
    {'H', 'H', &alt_form_display, nullptr,
     " Will display modular values using -m, -m+1, ..., 0, 1, ..., n.\n"
     "    where m = (modulus - 1) div 2 and n = modulus div 2.\n",
     " Will display modular values using 0, 1, ..., modulus - 1.\n", T, false,
     " Will display modular values using -m, -m+1, ..., 0, 1, ..., n\n"
     "    where m = (modulus - 1) div 2 and n = modulus div 2.\n",
     nullptr, " Already had that value; no change in modular integers display.\n", T,
     signed_display_chosen},
    {'I', 0, &mod_matrix_ok, nullptr, " Will try adjoint-CRT method to invert integer matrix.\n",
     " No adjoint-CRT method to invert integer matrices; will use G.E.\n", A, true, nullptr,
     nullptr, nullptr, A, nullptr},
    {'N', 'N', &noisy, nullptr, " Will display results.\n", " Displaying results is deactivated.\n",
     A, false, nullptr, " Displaying results is deactivated\n",
     " Already had that value; no change in noise.\n", A, nullptr},
    {'O', 'O', &chinhensel, nullptr,
     " Will use Hensel and CRT for multivariate GCD.  This is the default.\n",
     " Use no Hensel or CRT for GCD. This is recommended only over Z/p for small primes.\n", T,
     false, nullptr, nullptr, " Already had that value; no change in using Hensel or CRT.\n", T,
     nullptr},
    {'U', 'U', &uglyprint, nullptr, ugly_on, " Will resume lovely Tavrin style.\n", A, false,
     nullptr, nullptr, " Already had that value; no change in uglyprint.\n", A, ugly_continuation},
    {'V', 'V', &verbose, nullptr, " Will display informative comments.\n",
     " Informative comments supressed.\n", A, true, " Will do verbose display.\n",
     " No verbose display.\n", " Already had that value; no change in verbose.\n", A, nullptr},
    {'W', 'W', &windy, nullptr, " Extra verbosity turned on.\n", " Extra verbosity turned off.\n",
     A, true, " Will do extra verbose display.\n", " No extra verbose display.\n",
     " Already had that value; no change in extra verbose (windy).\n", A, nullptr},
    {'Z', 0, &danger_ok, nullptr, " O.K. to interrupt anytime. This might be dangerous.\n",
     " Can't interrupt at dangerous times.\n", A, true, nullptr, nullptr, nullptr, A, nullptr},
    {'b', 0, &close_inpuf, nullptr, " Will close input file if error occurs while loading.\n",
     " Will not immediately close input file if error occurs while loading.\n", A, true, nullptr,
     nullptr, nullptr, A, nullptr},
    {'c', 0, &hen_check, nullptr, " will double check hensel gcd answers.\n",
     " will single check hensel gcd answers.\n", T, false, nullptr, nullptr, nullptr, A, nullptr},
    {'e', 'e', &errorpush, nullptr, " Will push new level after errors.\n",
     " Pushing after errors is deactivated.\n", T, false, nullptr,
     " Pushing after errors is deactivated\n", " Already had that value; no change.\n", A, nullptr},
    {'n', 'n', &nomodpolyreadin, nullptr,
     " Will not mod out integers during poly-readin over modular ground ring.\n",
     " Will mod out integers during poly-readin over modular ground ring.\n", A, false, nullptr,
     nullptr, " Already had that value; no change in poly-readin of negatives.\n", A, nullptr},
    {'t', 't', &timerflag, nullptr, " Timing enabled.\n", " Timing disabled.\n", A, false, nullptr,
     nullptr, " Already had that value; no change in timing.\n", A, nullptr},
    {'|', '|', &pos_mod, nullptr, " modding must return non-negatives.\n",
     " modding can return negatives.\n", T, false, " Modulus must return non-negatives.\n",
     " Modulus can return negatives.\n",
     " Already had that value; no change in | returning negatives.\n", T, nullptr},
    {code_line_suppression, '6', &do_line_sup, nullptr,
     " Will suppress output to terminal of long polys.\n",
     " No suppression of output to terminal of long polys.\n", A, false, nullptr, nullptr,
     " Already had that value; no change in suppressing output of long polys.\n", A, nullptr},
    {code_try_rational, '5', &try_rat, nullptr,
     " Will try fastest probabilistic test for exact poly division.\n",
     " No fastest probabilistic test for exact poly division.\n", A, false, nullptr, nullptr,
     " Already had that value; no change in fastest probabilistic test for exact poly "
     "division.\n",
     A, rat_follows_try},
    {'B', 'B', &chpoly_block, nullptr, " Chpoly will be slowed in modularmode.\n",
     " Will optimize Chpoly in modularmode.\n", A, false, nullptr, nullptr,
     " Already had that value; no change in Chpoly speed.\n", A, nullptr},
};

bool switch_value(const switch_row& row) {
  return row.flag_var != nullptr ? *row.flag_var : *row.word_var != 0;
}

void put_switch(const switch_row& row, bool on) {
  if (row.flag_var != nullptr) {
    *row.flag_var = on;
  } else {
    *row.word_var = on ? 1 : 0;
  }
}

// The valued form of a switch: on = (v = 1).
void set_switch_row(const switch_row& row, bool on, const tokentipe& setting, nameptr* flag) {
  if (row.bare == 'B' && lintmode) {
    error(not_in_this_arithmetic_error, &setting);
    return;
  }
  if (switch_value(row) == on) {
    say(row.valued_rule, flag, row.same);
  } else {
    put_switch(row, on);
    const char* text = on ? (row.on != nullptr ? row.on : row.bare_on)
                          : (row.off != nullptr ? row.off : row.bare_off);
    say(row.valued_rule, flag, text);
  }
  if (row.after != nullptr) row.after();
}

// ---- The numeric settings ------------------------------------------------------------------

void sayf(print_rule r, nameptr* flag, const char* format, std::int32_t v) {
  if (shows(r, flag)) std::printf(format, static_cast<int>(v));
}

// Writes the value of the settings that show a number.
void show_value(quoly value) {
  std::int32_t length = 0;
  quoly_display(stdout, value, &length, &semicolon, polynames, result_display);
}

void set_poly_cutoff(std::int32_t v, nameptr* flag) {
  if (v < 6) {
    v = 6;
    say(print_rule::verbose_or_top, flag, " Value entered is too small; will use 6.\n");
  }
  reset_cutoffs(v);
  poly_cutoff = v;
  sayf(print_rule::verbose_or_top, flag, " poly_cutoff now %1d.\n", v);
}

void set_interrupt_level(std::int32_t v, const tokentipe& setting, nameptr* flag) {
  if (v == m_interrupt) {
    std::printf(" Already had that value; no change in command interrupt.\n");
    return;
  }
  if (v < 0 || v > 2) error(answer_must_0_1_2_error, &setting);
  say(T, flag, " Command interrupt now ");
  if (v == 0) {
    command_int = false;
    say(T, flag, "off.\n");
  } else {
    command_int = true;
    cmd_modder = v == 1 ? 32 : 2;
    say(T, flag, v == 1 ? "on, level 1.\n" : "on, level 2.\n");
  }
  m_interrupt = v;
}

void set_laurent(bool on, nameptr* flag) {
  if (laurent == on) {
    say(print_rule::verbose_or_top, flag,
        " Already had that value; no change in Laurent polynomial status.\n");
    return;
  }
  if (on) check_for_mod_out();
  change_laurent(on);
  say(print_rule::verbose_or_top, flag,
      laurent ? " Negative exponents enabled.\n" : " Negative exponents disabled.\n");
}

// Step 17 of the valued form: the setting chosen by its first character.
void numeric_setting(char c, std::int32_t v, quolyptr n, const tokentipe& setting, nameptr* flag) {
  const print_rule V = print_rule::verbose_or_top;
  if (const switch_row* row = valued_switch(c)) {
    set_switch_row(*row, v == 1, setting, flag);
    return;
  }
  switch (c) {
    case '#': set_poly_cutoff(v, flag); return;
    case 'A':
      if (v < 10 || v > 20000) error(answer_not_number_out_range_error, &setting);
      aux_num_2factor = static_cast<std::int16_t>(v);
      sayf(V, flag, " second auxiliary prime search factor now %1d.\n", v);
      return;
    case 'X':
      if (v < 300 || v > 4583) error(answer_must_lie_between_300_4583_error, &setting);
      aux_num_1factor = static_cast<std::int16_t>(v);
      sayf(V, flag, " first auxiliary prime search factor now %1d.\n", v);
      return;
    case 'D': set_detcutoff(v, shows(V, flag)); return;
    case 'K':
      gauss_cutoff = v;
      sayf(V, flag, " Gauss-Bareiss switch: %1d\n", v);
      return;
    case 'L':
      rat_det_method_cut = v;
      mod_det_method_cut = v / 33;
      sayf(V, flag, " LaGrange cut off \"mass\": %1d\n", v);
      return;
    case 'a':
      if (addresser == v) {
        say(T, flag, " Already had that value; no change in error pushing.\n");
      } else {
        addresser = v;
        sayf(T, flag, " Array initial index now %1d\n", v);
      }
      return;
    case 'l': set_laurent(v == 1, flag); return;
    case 'm': set_interrupt_level(v, setting, flag); return;
    case 'u':
      if (v > 5) {
        v = 0;
        say(V, flag, " Value entered is too large; will use 0.\n");
      }
      pseudet_heur = v;
      sayf(V, flag, " Sparse pivot heuristic now %1d.\n", v);
      return;
    case '3':
      if (!is_number(*n)) {
        error(answer_not_number_143_error, &setting);
        return;
      }
      num_assign((*n)->ncoef, &rand_denom_n);
      std::printf(" Denominator for random is now: \n");
      show_value(*n);
      return;
    case '4': {
      if (!is_number(*n)) {
        error(setting_value_not_number_error, &setting);
        return;
      }
      const std::int32_t width = quoly_convert_to_int(*n);
      // A width that does not fit the 16-bit variable, or below 1, is refused.
      if (width < 1 || width > INT16_MAX) {
        error(setting_value_not_number_error, &setting);
        return;
      }
      dispcutoff = static_cast<std::int16_t>(width);
      std::printf(" Columns to display is now: \n");
      show_value(*n);
      return;
    }
    default: error(no_such_setting_error, &setting);
  }
}

// ---- The string forms ------------------------------------------------------------------------

// A quoted string: the characters up to the closing quote (two quotes in a
// row stand for one), then the token after it.
std::string quoted_string(textptr inf, nameptr* flag) {
  std::string text;
  std::size_t read = 0;
  for (;;) {
    bool endline = false;
    dumbscanner(inf, &token, flag, &endline);
    if (*flag != nullptr && std::strcmp(token.name, end_marker_name) == 0)
      error(bad_quoted_name_empty_text_ended_error, &token);
    read += std::strlen(token.name);
    if (read > string_limit) error(quoted_string_too_long_error, &token);
    if (is_tok("'")) {
      if (!quote_follows(inf, flag)) break;
      dumbscanner(inf, &token, flag, &endline);
      ++read;
    }
    text += token.name;
  }
  scanner(inf, &token, flag);
  return text;
}

// The text a string setting takes from the infinite value "_i...".
constexpr char infinite_value_text[] = "*5";

void finish_string(textptr inf, quolyptr n, nameptr* flag, const tokentipe& setting, bool single,
                   bool infinite) {
  std::string text;
  if (infinite) {
    text = infinite_value_text;
    scanner(inf, &token, flag);
  } else if (is_tok("'")) {
    text = quoted_string(inf, flag);
  } else if (is_tok("[")) {
    get_from_array(inf, flag, &text);
  } else {
    text = token.name;
    scanner(inf, &token, flag);
  }
  if (!is_tok(")")) error(close_paren_expected_after_setting_error, &token);
  token = setting;
  if (single && setting.name[0] == 'M') {
    set_prompt(text);
  } else if (single && setting.name[0] == 'S') {
    if (text == " ")
      error(bad_quoted_name_empty_text_ended_error, &setting);
    else
      save_output_file(inf, flag, text);
  } else if (single && setting.name[0] == 'R') {
    if (text == " ") {
      error(bad_quoted_name_empty_text_ended_error, &setting);
    } else {
      bool quit = false;
      load(inf, n, flag, text, &quit);
    }
  } else {
    error(setting_takes_no_quoted_value_error, &setting);
  }
}

// The name a setting has after "_".
char underscore_setting(char c) {
  switch (c) {
    case 't': return '5';
    case 's': return '6';
    case 'r': return '3';
    case 'l': return '2';
    case 'd': return '4';
    case 'L': return '7';
    default: return c;
  }
}

/* setting -> "J" ("=" | ">") ["-"] name ")" */
void variable_setting(textptr inf, quolyptr n, nameptr* flag) {
  bool doscanner = true;
  attach_poly(inf, flag, false, &doscanner);
  if (doscanner) {
    scanner(inf, &token, flag);
    if (!is_tok(")")) error(close_paren_expected_after_setting_error, &token);
  }
  set_zero_value(n);
}

// A sum read from the terminal input with modular arithmetic suspended,
// after the prompt line and the prompt; error code when it is not a number.
// Returns its integer value; the value stays in *n.
std::int32_t asked_number(const char* line, quolyptr n, std::int32_t code) {
  const tokentipe command = token;
  std::printf("%s", line);
  std::fflush(stdout);
  do_prompts();
  ModularBracket suspended;
  scanner(&Input, &token, &zilch);
  old_expre(&Input, n, &zilch);
  if (!is_number(*n)) {
    error(code, &command);
    return 0;
  }
  return quoly_convert_to_int(*n);
}

}  // namespace

bool shows(print_rule r, nameptr* flag) {
  switch (r) {
    case print_rule::always: return true;
    case print_rule::verbose_or_top: return verbose || *flag == nullptr;
    case print_rule::top: return *flag == nullptr;
  }
  return true;
}

const switch_row* bare_switch(unsigned char code) {
  for (const switch_row& row : switches)
    if (row.bare == code) return &row;
  return nullptr;
}

const switch_row* valued_switch(char letter) {
  if (letter == 0) return nullptr;
  for (const switch_row& row : switches)
    if (row.valued == letter) return &row;
  return nullptr;
}

void flip_switch(const switch_row& row, nameptr* flag) {
  if (row.bare == 'B' && lintmode) {
    error(not_in_this_arithmetic_error, &token);
    return;
  }
  const bool on = !switch_value(row);
  put_switch(row, on);
  if (row.after != nullptr) row.after();
  say(row.bare_rule, flag, on ? row.bare_on : row.bare_off);
  if (row.flush) std::fflush(stdout);
}

void set_switch(textptr inf, quolyptr n, nameptr* flag, bool* colflag, bool* callscan) {
  // 1: the setting's name.
  scanner(inf, &token, flag);
  if (is_tok("_")) {
    scanner(inf, &token, flag);
    token.name[0] = underscore_setting(token.name[0]);
  }
  const tokentipe setting = token;
  const bool single = setting.name[1] == '\0';
  const char c = setting.name[0];
  auto is_single = [&](char x) { return single && c == x; };

  // 2: "=" (for "J" also ">").
  scanner(inf, &token, flag);
  if (!is_tok("=") && !(is_single('J') && is_tok(">"))) error(equals_expected_error, &token);
  // 3: modding out; the change of ground ring reads its own value.
  if (is_single('P')) return mod_out_setting(inf, n, flag);
  if (is_single('p')) {
    modulus_setting(inf, n, flag);
    *colflag = false;
    return;
  }
  if (is_single('J')) {
    variable_setting(inf, n, flag);
    return;
  }

  // 5, 6: the value's first token; "#" with "[": cut-offs from an array.
  scanner(inf, &token, flag);
  if (is_single('#') && is_tok("[")) {
    get_cut_from_array(inf, flag);
    if (!is_tok(")")) error(close_paren_expected_after_setting_error, &token);
    set_zero_value(n);
    *colflag = false;
    return;
  }
  // 7: "_i..." is the infinite value.
  bool infinite = false;
  if (is_tok("_")) {
    scanner(inf, &token, flag);
    infinite = token.name[0] == 'i';
  }
  // 8: the string forms.
  if (is_tok("'") || is_single('M') || is_single('S') || is_single('R')) {
    finish_string(inf, n, flag, setting, single, infinite);
    // After a command file the statement's own ending is read from its input.
    *callscan = is_single('M') || is_single('S') || is_single('R');
    return;
  }

  // 9 - 13: the value, an exact integer whatever the ground ring (except "_r").
  std::int32_t v = 0;
  {
    std::optional<ModularBracket> suspended;
    if (!is_single('3')) suspended.emplace();
    if (infinite) {
      scanner(inf, &token, flag);
    } else {
      old_expre(inf, n, flag);
    }
    if (!infinite && !is_single('3') && !is_single('4')) {
      if (!is_number(*n)) error(setting_value_not_number_error, &setting);
      v = big_quoly_convert_to_int(*n);
    }
    if (v < 0 && c != 'D') error(setting_value_must_not_negative_error, &setting);
    if (c == 'p') v = 0;  // the modulus, not a switch value
  }
  // 15, 16: ")" and the values a switch takes.
  if (!is_tok(")")) error(close_paren_expected_after_setting_error, &token);
  if (v != 0 && v != 1 && (c == '\0' || std::strchr("#ADLXmnu", c) == nullptr))
    error(setting_does_not_take_value_error, &token);
  // 17.
  numeric_setting(c, v, n, setting, flag);
  *colflag = false;
}

void set_prompt(const std::string& text) {
  if (text.size() > 10) std::printf("*** Warning.  prompt name truncated to 10 characters.\n");
  const std::string shown = text.substr(0, 10);
  if (shown == " ") {
    std::strcpy(prompt, "\r");
    promptsize = 0;
    std::printf(" Prompt now: <cr>\n");
    return;
  }
  std::strcpy(prompt, shown.c_str());
  promptsize = static_cast<std::int16_t>(shown.size());
  if (shown.empty()) std::strcpy(prompt, " ");
  std::printf(" Prompt now:%s\n", prompt);
}

void set_detcutoff(std::int32_t v, bool show) {
  if (v == 1) v = 0;
  detcutoff = v;
  if (!show) return;
  if (v < 0) {
    std::printf(" Will set detcutoff using defaults.\n");
  } else {
    std::printf(" Detcutoff now %1d.\n", static_cast<int>(v));
  }
  if (detcutoff > ordinary_detcutoff_max)
    std::printf(
        " Note: This value for sparse arrays only. For ordinary arrays, max value is %1d.\n",
        static_cast<int>(ordinary_detcutoff_max));
}

void change_detcutoff(quolyptr n) {
  const std::int32_t v = asked_number(" Enter detcutoff:\n", n, answer_not_number_189_error);
  set_detcutoff(v, true);
}

void change_pseudet_heur(quolyptr n) {
  std::int32_t v = asked_number(" Enter sparse pivot heuristic:\n", n, not_number_error);
  if (v < 0 || v > 5) {
    v = 0;
    std::printf(" Value entered is too big or too small; will use 0.\n");
  }
  pseudet_heur = v;
  free_quoly(n);
  quoly_set_integer(v, n);
  std::printf(" Sparse pivot heuristic now %1d.\n", static_cast<int>(v));
}

void calc_disp(bool ask, std::int32_t size) {
  // Groups of 8 digits beyond this would make disp_cons longer than the
  // longest number (32,767 limbs of 28 bits).
  constexpr std::int32_t max_disp_size = 32767 * 28 / 27;
  if (ask) {
    std::int32_t v = 0;
    {
      nodes::OwnedValue value;
      v = asked_number("Enter display size. \n", value.cell(), not_number_error);
    }
    if (v > max_disp_size) error(number_too_long_error, &token);
    disp_size = v;
    std::printf("new display size: %2d\n", static_cast<int>(v));
    size = disp_size;
  }
  if (size > max_disp_size) error(number_too_long_error, &token);
  disp_size = size < 0 ? 0 : size;
  if (size >= 1000) std::printf("Warning.  Very large disp_size.\n");
  std::strcpy(token.name, "@");
  token.address = -1;
  if (!lintmode) {
    BigModeGuard big;
    special_set(1, &disp_cons);
    for (std::int32_t k = 0; k < disp_size; ++k) fast_mult(&disp_cons, &tens_base, &disp_cons);
    disp_cons.flote = 0;
    disp_cons.lint = 0;
  }
}

}  // namespace tavrin
