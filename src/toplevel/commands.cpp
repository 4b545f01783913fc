#include "toplevel/commands.h"

#include <cstdio>
#include <cstring>

#include "core/errors.h"
#include "core/globals.h"
#include "core/jumps.h"
#include "toplevel/dispatch.h"
#include "toplevel/modding_out.h"
#include "toplevel/poly_vars.h"
#include "toplevel/ring_change.h"
#include "toplevel/settings.h"
#include "toplevel/state.h"
#include "toplevel/stored_values.h"

namespace tavrin {

namespace {

constexpr std::int32_t no_such_command_error = 17;
constexpr std::int32_t command_too_long_error = 114;

// What a command leaves for the tail of the command reader.
struct command_run {
  textptr inf;
  quolyptr n;
  nameptr* flag;
  bool keeps_value = false;  // the statement's value is the command's own
  bool reads_ending = true;  // the tail reads the statement's ending token
};
using command_action = void (*)(command_run& run);

// Internal codes of the underscore commands, above the printable characters.
constexpr unsigned char code_random_denominator = 0xD0;  // "&_r"
constexpr unsigned char code_suspend_modular = 0xD1;     // "&_m"
constexpr unsigned char code_open_level = 0xD2;          // "&_P"
constexpr unsigned char code_leave_level = 0xD3;         // "&_p"
constexpr unsigned char code_display_width = 0xD4;       // "&_d"
constexpr unsigned char code_karatsuba_cutoff = 0xD5;    // "&_k"
constexpr unsigned char code_clean_up = 0xD6;            // "&_G"
constexpr unsigned char code_read_value = 0xD7;          // "&_n"
constexpr unsigned char code_line_suppression = 0xD8;    // "&_s"
constexpr unsigned char code_try_rational = 0xD9;        // "&_t"

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

void set_token(const char* name) {
  std::strcpy(token.name, name);
  token.address = -1;
}

// Flips a switch and writes the message of its new state.
void flip(bool& sw, const char* on, const char* off) {
  sw = !sw;
  std::printf("%s", sw ? on : off);
}

/* command -> "t"  (timing lines) */
void timing(command_run&) { flip(timerflag, " Timing enabled.\n", " Timing disabled.\n"); }

/* command -> "E"  (an extra line after each display) */
void extra_lines(command_run&) {
  flip(extra_line, " Will do extra line after display.\n", " No extra line after display.\n");
}

/* command -> "N"  (display of results) */
void display_results(command_run&) {
  flip(noisy, " Will display results.\n", " Displaying results is deactivated.\n");
}

/* command -> "2" | "_" "l"  (polynomials as lists of monomials) */
void monomials(command_run& run) {
  monomial_list = !monomial_list;
  if (*run.flag != nullptr) return;
  std::printf("%s", monomial_list ? " Will display polynomials as list of monomials.\n"
                                  : " Will display polynomials in nested form.\n");
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
void modding_out(command_run& run) { mod_out_command(run.inf, run.flag); }

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
void panic_stop(command_run&) { error(0, &blank); }

/* command -> "_" "P"  (open a nested command level) */
void open_level(command_run& run) {
  error(-1, &blank);
  // When the level is left the statement ends without a display; only in
  // stored text is its ending read.
  if (!tt_flag || *run.flag == nullptr) set_token("@");
  run.reads_ending = *run.flag != nullptr;
}

/* command -> "_" "p"  (leave the current nested level) */
void leave_level(command_run&) { time_to_quit = true; }

// Stand-in for every command whose work comes later: the settings, the
// values asked for, files, listings and the changes of ground ring.
[[noreturn]] void later(command_run&) { not_implemented(); }

struct command_entry {
  unsigned char code;
  command_action action;
};

constexpr command_entry commands[] = {
    {'t', timing},
    {'E', extra_lines},
    {'N', display_results},
    {'q', quit},
    {'Q', quit},
    {'@', panic_stop},
    {code_open_level, open_level},
    {code_leave_level, leave_level},
    // Switches.
    {'2', monomials}, {'J', variable}, {'l', negative_exponents},
    {'(', valued_setting},
    {'&', later}, {'5', later}, {'H', later}, {'I', later}, {'O', later},
    {'U', later}, {'V', later}, {'W', later}, {'Z', later}, {'b', later}, {'c', later},
    {'e', later}, {'n', later}, {'|', later}, {'B', later},
    {code_line_suppression, later}, {code_try_rational, later},
    // Values asked for.
    {'#', later}, {'A', later}, {'X', later}, {'K', later}, {'L', later}, {'m', later},
    {'M', later}, {code_display_width, later}, {code_karatsuba_cutoff, later},
    {code_random_denominator, later},
    // Actions.
    {'x', later}, {'>', later}, {']', later}, {'}', later}, {'a', later},
    {'T', later}, {'h', later}, {'j', later}, {'C', later}, {'D', later}, {'u', later},
    {'d', later}, {'p', ground_ring}, {'P', modding_out}, {'S', later},
    {'s', later}, {'R', later}, {'r', later}, {'v', later}, {'F', later}, {'f', later},
    {'g', later}, {'G', later}, {'4', later}, {'o', later},
    {code_clean_up, later}, {code_read_value, later}, {code_suspend_modular, later},
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
  } else {
    Input->drop_line();
  }
  leftover[0] = '\0';
}

void command_statement(textptr inf, quolyptr n, nameptr* flag) {
  scanner(inf, &token, flag);
  if (token.name[0] != '\0' && token.name[1] != '\0') error(command_too_long_error, &token);
  unsigned char code = static_cast<unsigned char>(token.name[0]);
  if (code == '_') {
    scanner(inf, &token, flag);
    code = static_cast<unsigned char>(token.name[0]);
    const unsigned char mapped = underscore_code(code);
    if (mapped == 0) {
      error(no_such_command_error, &token);
    } else {
      code = mapped;
    }
  }
  command_run run{inf, n, flag};
  if (command_action action = find_command(code)) {
    action(run);
  } else {
    error(no_such_command_error, &token);
  }
  if (!run.keeps_value) set_zero_value(n);
  if (run.reads_ending) scanner(inf, &token, flag);
}

}  // namespace tavrin
