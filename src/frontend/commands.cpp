#include "frontend/commands.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/jumps.h"
#include "core/thresholds.h"
#include "numbers/bigint.h"
#include "numbers/bigint_wide.h"
#include "numbers/freelists.h"
#include "numbers/garbage.h"
#include "numbers/mod_journal.h"
#include "numbers/stash/stash.h"
#include "poly/poly_measures.h"
#include "poly/poly_repr.h"
#include "gcd/gcd_stash.h"
#include "toplevel/dispatch.h"
#include "toplevel/display.h"
#include "toplevel/language_services.h"
#include "toplevel/output_file.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/floating.h"
#include "lang/poly_readin.h"
#include "arrays/array_display.h"
#include "matrix/minors_cache.h"
#include "frontend/command_files.h"
#include "frontend/function_listing.h"
#include "frontend/listings.h"
#include "frontend/modding_out.h"
#include "frontend/poly_vars.h"
#include "frontend/ring_change.h"
#include "frontend/saved_state.h"
#include "frontend/settings.h"
#include "frontend/stored_values.h"

namespace tavrin {

namespace {

// What a command leaves for the tail of the command reader.
struct command_run {
  textptr inf;
  quolyptr n;
  nameptr* flag;
  bool keeps_value = false;  // the statement's value is the command's own
  bool reads_ending = true;  // the tail reads the statement's ending token
};
using command_action = void (*)(command_run& run);

// "&_" and a character: the command it runs as, or 0 when there is none.
unsigned char underscore_code(unsigned char c) {
  switch (c) {
    case 'G': return code_clean_up;
    case 'L': return '5';
    case 'P': return code_open_level;
    case 'd': return code_display_width;
    case 'k': return code_karatsuba_cutoff;
    case 'l': return '2';
    case 'm': return code_suspend_modular;
    case 'n': return code_read_value;
    case 'p': return code_leave_level;
    case 'r': return code_random_denominator;
    case 's': return code_line_suppression;
    case 't': return code_try_rational;
    default: return 0;
  }
}

using tokens::is_tok;

void set_token(const char* name) {
  std::strcpy(token.name, name);
  token.address = -1;
}

/* command -> "J"  (adjoin or cancel a polynomial variable, asking its name) */
void variable(command_run& run) {
  bool doscanner = true;
  attach_poly(run.inf, run.flag, true, &doscanner);
}

/* command -> "l"  (negative exponents) */
void negative_exponents(command_run&) {
  if (!laurent) check_for_mod_out();
  change_laurent(!laurent);
  std::printf("%s", laurent ? " Negative exponents enabled.\n" : " Negative exponents disabled.\n");
}

/* command -> "p" ["(" names ")"]  and  "P"  (change of ground ring, modding out) */
void ground_ring(command_run& run) {
  modulus_command(run.inf, run.n, run.flag);
  run.keeps_value = true;
  run.reads_ending = false;
}
void modding_out(command_run& run) {
  mod_out_command(run.inf, run.n, run.flag);
  run.keeps_value = true;
}

/* command -> "(" setting "=" value ")" */
void valued_setting(command_run& run) {
  bool colflag = true;
  bool callscan = true;
  set_switch(run.inf, run.n, run.flag, &colflag, &callscan);
  run.keeps_value = true;
  run.reads_ending = callscan;
}

/* command -> "q" | "Q" */
[[noreturn]] void quit(command_run&) { throw QuitJump{}; }

/* command -> "@"  (panic stop: back to the top level) */
void panic_stop(command_run&) { error(panic_stop_code, &blank); }

/* command -> "_" "P"  (open a nested command level) */
void open_level(command_run& run) {
  {
    // The command itself suspends nothing: a level it opens at a prompt
    // stands above a statement only when it runs inside another one.
    ScopedValue<std::int32_t> itself(statements_under_way, statements_under_way - 1);
    error(open_level_code, &blank);
  }
  // When the level is left the statement ends without a display; only in
  // stored text is its ending read.
  if (!tt_flag || *run.flag == nullptr) set_token("@");
  run.reads_ending = *run.flag != nullptr;
}

/* command -> "_" "p"  (leave the current nested level) */
void leave_level(command_run&) { time_to_quit = true; }

// ---- Commands that ask for a value -------------------------------------------------------

// Writes the prompt line, shows the prompt and reads the answer from the
// terminal input into *run.n: its first token, then a sum. Modular
// arithmetic is suspended while it is read unless in_ring. Not a number:
// error code with the command token; the answer's integer value otherwise.
std::int32_t answer(command_run& run, const char* line, std::int32_t code, bool in_ring = false) {
  const tokentipe command = token;
  std::printf("%s", line);
  std::fflush(stdout);
  do_prompts();
  std::optional<ModularBracket> suspended;
  if (!in_ring) suspended.emplace();
  scanner(&Input, &token, &zilch);
  old_expre(&Input, run.n, &zilch);
  if (*run.n == nullptr || !(*run.n)->numb) {
    error(code, &command);
    return 0;
  }
  return quoly_convert_to_int(*run.n);
}

// Writes the answer as the confirmation of "&_d", "&_k" and "&_r".
void show_answer(const char* line, quoly value) {
  std::printf("%s", line);
  std::int32_t length = 0;
  quoly_display(stdout, value, &length, &semicolon, polynames, result_display);
}

/* command -> "#"  (the product cut-off) */
void ask_poly_cutoff(command_run& run) {
  std::int32_t v =
      answer(run, " Enter poly_cutoff (usually 10-90):\n", answer_not_number_out_range_error);
  if (v < 6) {
    std::printf(" *** smallest legal value is 6. will use 6.\n");
    v = 6;
  }
  reset_cutoffs(v);
  poly_cutoff = v;
  std::printf(" poly_cutoff: %1d\n", static_cast<int>(v));
}

// "&A" and "&X": a 16-bit factor; the range is checked before narrowing.
void ask_factor(command_run& run, const char* line, std::int32_t lo, std::int32_t hi,
                std::int32_t code, std::int16_t* factor, const char* confirmation) {
  const tokentipe command = token;
  const std::int32_t v = answer(run, line, code);
  if (v < lo || v > hi) {
    error(code, &command);
    return;
  }
  *factor = static_cast<std::int16_t>(v);
  std::printf(confirmation, static_cast<int>(v));
}

/* command -> "A"  (second auxiliary prime search factor; keeps the answer) */
void ask_second_factor(command_run& run) {
  ask_factor(run, " Enter second auxiliary prime search factor:\n", 10, 20000,
             answer_not_number_out_range_error, &aux_num_2factor,
             " second auxiliary prime search factor: %1d\n");
  run.keeps_value = true;
}

/* command -> "X"  (first auxiliary prime search factor) */
void ask_first_factor(command_run& run) {
  ask_factor(run, " Enter first auxiliary prime search factor:\n", 300, 4583,
             answer_must_lie_between_300_4583_error, &aux_num_1factor,
             " first auxiliary prime search factor: %1d\n");
}

/* command -> "K"  (Gauss-Bareiss switch) */
void ask_gauss(command_run& run) {
  gauss_cutoff = answer(run, " Enter Gauss-Bareiss switch:\n", not_number_error);
  std::printf(" Gauss-Bareiss: %1d means", static_cast<int>(gauss_cutoff));
  std::printf(gauss_cutoff == 1 ? " will try Gauss-Bareiss.\n" : " will not use Gauss-Bareiss.\n");
}

/* command -> "L"  (LaGrange cut-off) */
void ask_lagrange(command_run& run) {
  const std::int32_t v = answer(run, " Enter LaGrange cut off:\n", not_number_error);
  rat_det_method_cut = v < 0 ? INT32_MAX : v;
  mod_det_method_cut = rat_det_method_cut / 33;
  std::printf(" LaGrange cut off \"mass\": %1d\n", static_cast<int>(rat_det_method_cut));
}

/* command -> "m"  (command interrupt level; keeps the answer) */
void ask_interrupt_level(command_run& run) {
  const tokentipe command = token;
  const std::int32_t v = answer(run, " Enter command interrupt level:\n", answer_must_0_1_2_error);
  run.keeps_value = true;
  if (v < 0 || v > 2) {
    error(answer_must_0_1_2_error, &command);
    return;
  }
  std::printf(" Command interrupt now ");
  command_int = v != 0;
  m_interrupt = v;
  std::printf(v == 0 ? "off.\n" : v == 1 ? "on, level 1.\n" : "on, level 2.\n");
}

/* command -> "_" "d"  (display width) */
void ask_width(command_run& run) {
  const tokentipe command = token;
  const std::int32_t v =
      answer(run, " Enter number of columns to display:\n", answer_not_number_143_error);
  // A width that does not fit the 16-bit variable, or below 1, is refused.
  if (v < 1 || v > INT16_MAX) {
    error(answer_not_number_143_error, &command);
    return;
  }
  dispcutoff = static_cast<std::int16_t>(v);
  show_answer(" Number of columns to display is now: \n", *run.n);
}

/* command -> "_" "k"  (Karatsuba cut-off) */
void ask_karatsuba(command_run& run) {
  simplest_poly_cutoff = answer(run, " Enter Karatsuba cutoff:\n", answer_not_number_143_error);
  show_answer(" Karatsuba cutoff is now: \n", *run.n);
}

/* command -> "_" "r"  (denominator of the random values; keeps the answer) */
void ask_random_denominator(command_run& run) {
  run.keeps_value = true;
  answer(run, " Enter new denominator for random:\n", answer_not_number_143_error, true);
  if (*run.n == nullptr || !(*run.n)->numb) return;
  num_assign((*run.n)->ncoef, &rand_denom_n);
  show_answer(" Denominator for random is now: \n", *run.n);
}

/* command -> "M"  (the prompt: a line of at most 9 characters) */
void ask_prompt(command_run&) {
  std::printf(" Enter prompt:\n");
  std::fflush(stdout);
  do_prompts();
  std::string line;
  for (int c = 0; line.size() < 9 && (c = Input->get()) != EOF;) {
    line.push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  Input->unget('\n');
  if (!line.empty() && line.back() == '\n') line.pop_back();
  set_prompt(line);
}

/* command -> "D" */
void ask_detcutoff(command_run& run) { change_detcutoff(run.n); }

/* command -> "u" */
void ask_pivot_heuristic(command_run& run) { change_pseudet_heur(run.n); }

/* command -> "d" */
void ask_display_size(command_run&) { calc_disp(true, 0); }

// ---- Actions --------------------------------------------------------------------------------

// "&>", "&]", "&}" act only inside stored text.
void loop_flag(command_run& run, bool* target, const char* warning) {
  if (*run.flag != nullptr) {
    *target = true;
  } else {
    std::printf("%s", warning);
  }
}

/* command -> ">"  (leave the loop) */
void leave_loop(command_run& run) { loop_flag(run, &leave_flag, "Warning. &> ignored.\n"); }

/* command -> "]"  (next pass of the loop) */
void next_pass(command_run& run) { loop_flag(run, &cycle_flag, "Warning. &] ignored.\n"); }

/* command -> "}"  (leave the function) */
void leave_function(command_run& run) { loop_flag(run, &exit_flag, "Warning. &} ignored.\n"); }

/* command -> "x"  (end the command file after this statement) */
void end_command_file(command_run&) {
  if (!tt_flag) done_load = true;
}

/* command -> "a"  (arrays indexed from 0 or 1) */
void index_origin(command_run& run) {
  addresser = 1 - addresser;
  if (*run.flag == nullptr)
    std::printf(" Array initial index now %1d.\n", static_cast<int>(addresser));
  quoly_set_integer(addresser, run.n);
  run.keeps_value = true;
}

/* command -> "T"  (processor milliseconds used) */
void processor_time(command_run& run) {
  const auto ms = static_cast<std::int64_t>(std::clock()) * 1000 / CLOCKS_PER_SEC;
  quoly_set_integer(static_cast<std::int32_t>(ms), run.n);
  run.keeps_value = true;
}

/* command -> "h"  (free memory) */
void free_memory(command_run& run) {
  const std::uint64_t bytes = memavail();
  run.keeps_value = true;
  if (flotemode) {
    fl_quoly_set(static_cast<long double>(bytes), run.n);
  } else if (lintmode) {
    const auto word = static_cast<std::uint32_t>(bytes);
    if (*run.flag == nullptr) std::printf("%u\n", word);
    quoly_set(static_cast<std::int32_t>(word), run.n);
  } else {
    quoly_set(0, run.n);
    imptr exact = new_wide_number(static_cast<wide_int>(bytes));
    num_assign(exact, (*run.n)->ncoef);
    free_imag(&exact);
  }
}

/* command -> "j"  (memory and minors-cache statistics) */
void statistics(command_run&) {
  std::uint64_t memory = 0;
  std::int32_t branches = 0, leaves = 0, entries = 0, hits = 0;
  minor_statistics(&memory, &branches, &leaves, &entries, &hits);
  std::printf(
      " memavail, minor memory, garbsize, minor prime, total branches, leaf count, stash nodes, "
      "hits: %u, %u, %d, %d, %d, %d, %d, %d\n",
      static_cast<unsigned>(memavail()), static_cast<unsigned>(memory),
      static_cast<int>(fast_garbsize()), static_cast<int>(minorprime), static_cast<int>(branches),
      static_cast<int>(leaves), static_cast<int>(entries), static_cast<int>(hits));
}

/* command -> "C" ("+" | "-")  (the GCD cache) */
void gcd_cache(command_run& run) {
  scanner(run.inf, &token, run.flag);
  const char* text = nullptr;
  if (is_tok("+")) {
    init_gcd_stash();
    text = lookupgcd > 0    ? " stashing on."
           : lookupgcd == 0 ? " stashing off."
                            : " pushed, but stashing still off.";
  } else if (is_tok("-")) {
    pop_gcd_stash();  // at 0 the cache is emptied
    text = lookupgcd > 0 ? " popped, but stashing remains in effect." : " stashing off.";
  } else {
    error(plus_minus_expected_after_c_error, &token);
    return;
  }
  if (*run.flag == nullptr) std::printf("%s\n", text);
  quoly_set_integer(lookupgcd, run.n);
  run.keeps_value = true;
}

/* command -> "G"  (the memory report) */
void memory_report(command_run&) { garbage('g'); }

/* command -> "_" "G"  (free lists sorted by address) */
void sort_free_lists(command_run& run) {
  scanner(run.inf, &token, run.flag);
  clean_up_quoly();
  clean_up_poly();
  if (!lintmode) clean_up_imp();
  run.reads_ending = false;
}

/* command -> "_" "n"  (a value in the written-out notation) */
void read_written_value(command_run& run) {
  scanner(run.inf, &token, run.flag);
  std::int32_t depth = 0;
  quoly_readin(run.inf, run.n, run.flag, &depth);
  run.keeps_value = true;
  run.reads_ending = false;
}

/* command -> "_" "m" "(" statement ")" ending  (a statement in exact arithmetic) */
void without_modular(command_run& run) {
  set_zero_value(run.n);
  run.keeps_value = true;
  run.reads_ending = false;
  scanner(run.inf, &token, run.flag);
  if (!is_tok("(")) error(open_paren_expected_after_m_error, &token);
  // In floating evaluation the statement's long double is the value; it is
  // made a value of the ring in force once modular arithmetic is back, so
  // that the floating evaluator reads it back as it reads every value.
  std::optional<long double> real;
  {
    ModularBracket suspended;
    BracketedStatement inner;
    scanner(run.inf, &token, run.flag);
    if (integerflag) {
      long double value = 0;
      iexpre(&value, run.flag);
      real = value;
    } else {
      parse(run.inf, run.n, run.flag);
    }
    if (!is_tok(")")) error(close_paren_expected_error, &token);
    scanner(run.inf, &token, run.flag);
    if (!is_tok(";") && !is_tok("@") && !is_tok(":") && !is_tok(end_marker_name))
      error(statement_end_expected_after_m_error, &token);
  }
  // A number the statement computed without the modulus stays the integer
  // it is; ring arithmetic reads it as its image.
  if (real) real_to_value(*real, run.n);
}

/* command -> "_" ("s" | "t")  (switches that read the ending first) */
void early_switch(command_run& run, unsigned char code) {
  scanner(run.inf, &token, run.flag);
  flip_switch(*bare_switch(code), run.flag);
  run.reads_ending = false;
}
void line_suppression(command_run& run) { early_switch(run, code_line_suppression); }
void try_rational(command_run& run) { early_switch(run, code_try_rational); }

/* command -> "o" */
void no_command_o(command_run&) { error(amp_o_only_inside_output_list_error, &token); }

/* command -> "v" (";" | ":")  (listing of the variables) */
void list_variables(command_run& run) {
  scanner(run.inf, &token, run.flag);
  if (!is_tok(";") && !is_tok(":")) error(semicolon_colon_expected_after_v_error, &token);
  run.reads_ending = false;
  listvars(is_tok(";"));
}

/* command -> "r" | "R"  (read a command file, asking for its name) */
void command_file(command_run& run) {
  bool quit = false;
  load(run.inf, run.n, run.flag, blankone, &quit);
  blankone.assign(1, ' ');
  if (quit) {
    set_zero_value(run.n);
    run.keeps_value = true;
    run.reads_ending = false;
  }
}

/* command -> "s"  (write the saved state to the output file) */
void save_state(command_run& run) {
  if (save(run.inf, run.flag)) run.reads_ending = false;
}

/* command -> ("f" | "F") ("*" | ";" | ("," | "<") name)  (listing of functions) */
void list_functions(command_run& run) {
  scanner(run.inf, &token, run.flag);
  const tokentipe x = token;
  listfuncs(Output, run.inf, true, x, run.flag);
  run.reads_ending = false;
}

/* command -> "g"  (the settings report) */
void settings_report(command_run&) { global_dump(); }

/* command -> "S"  (opens the output file, asking for its name) */
void output_file(command_run& run) {
  save_output_file(run.inf, run.flag, blankone);
  run.reads_ending = false;
}

/* command -> "4"  (the duplicate work array, when there is one) */
void duplicate_array(command_run&) {
  if (dupptr == nullptr || duparr == nullptr || duparr->rows < 1) return;
  const std::int32_t cols =
      static_cast<std::int32_t>((std::int64_t{duparr->stop} + 1) / duparr->rows);
  arrdisplay(stdout, &duparr->name, duparr, 0, duparr->rows, cols, addresser, addresser,
             duparr->rows, 4, {.outf_is_tty = true, .from_store = false}, dupptr);
}

struct command_entry {
  unsigned char code;
  command_action action;
};

// The switches are in the table of settings.h; these are the rest.
constexpr command_entry commands[] = {
    {'q', quit},
    {'Q', quit},
    {'@', panic_stop},
    {code_open_level, open_level},
    {code_leave_level, leave_level},
    {'J', variable},
    {'l', negative_exponents},
    {'(', valued_setting},
    {code_line_suppression, line_suppression},
    {code_try_rational, try_rational},
    // Values asked for.
    {'#', ask_poly_cutoff},
    {'A', ask_second_factor},
    {'X', ask_first_factor},
    {'K', ask_gauss},
    {'L', ask_lagrange},
    {'m', ask_interrupt_level},
    {'M', ask_prompt},
    {code_display_width, ask_width},
    {code_karatsuba_cutoff, ask_karatsuba},
    {code_random_denominator, ask_random_denominator},
    {'D', ask_detcutoff},
    {'u', ask_pivot_heuristic},
    {'d', ask_display_size},
    // Actions.
    {'x', end_command_file},
    {'>', leave_loop},
    {']', next_pass},
    {'}', leave_function},
    {'a', index_origin},
    {'T', processor_time},
    {'h', free_memory},
    {'j', statistics},
    {'C', gcd_cache},
    {'G', memory_report},
    {code_clean_up, sort_free_lists},
    {code_read_value, read_written_value},
    {code_suspend_modular, without_modular},
    {'o', no_command_o},
    {'v', list_variables},
    {'p', ground_ring},
    {'P', modding_out},
    {'S', output_file},
    {'s', save_state},
    {'R', command_file},
    {'r', command_file},
    {'F', list_functions},
    {'f', list_functions},
    {'g', settings_report},
    {'4', duplicate_array},
};

command_action find_command(unsigned char code) {
  for (const command_entry& e : commands)
    if (e.code == code) return e.action;
  return nullptr;
}

}  // namespace

void do_prompts() {
  if (levelcount > 1) std::printf("%li", static_cast<long>(levelcount));
  if (promptsize >= 1) {
    std::printf("%s", prompt);
    std::fflush(stdout);
    Input->get();
  } else if (prompt[0] == '\r' && prompt[1] == '\0') {
    std::printf("%s", prompt);
    std::fflush(stdout);
    // The line end that ended the command is not the answer.
    if (Input->peek() == '\n') Input->get();
  } else {
    Input->drop_line();
  }
  leftover[0] = '\0';
}

void command_statement(textptr inf, quolyptr n, nameptr* flag) {
  scanner(inf, &token, flag);
  if (token.name[0] != '\0' && token.name[1] != '\0') error(command_one_character_error, &token);
  unsigned char code = static_cast<unsigned char>(token.name[0]);
  if (code == '_') {
    scanner(inf, &token, flag);
    code = static_cast<unsigned char>(token.name[0]);
    const unsigned char mapped = underscore_code(code);
    if (mapped == 0) {
      error(no_such_amp_command_error, &token);
    } else {
      code = mapped;
    }
  }
  command_run run{inf, n, flag};
  if (command_action action = find_command(code)) {
    action(run);
  } else if (const switch_row* row = bare_switch(code)) {
    flip_switch(*row, flag);
  } else {
    error(no_such_amp_command_error, &token);
  }
  if (!run.keeps_value) set_zero_value(n);
  if (run.reads_ending) scanner(inf, &token, flag);
}

}  // namespace tavrin
