// The settings: the on/off switches shared by the bare commands ("&t") and
// the valued form "&(" letter "=" value ")", the numeric settings, and the
// prompting forms of "&D", "&u" and "&d".
//
// set_switch reads the setting's name (after "_" one more token, renamed:
// t 5, s 6, r 3, l 2, d 4, L 7), then "=" (for "J" also ">", the bottom of
// the variable list), then the value: a sum evaluated with modular
// arithmetic suspended (except "_r"), "_i..." (infinite), or a string
// (quoted, an array of character codes, or a bare token). A setting is
// chosen by the first character of its name; "J", "M", "#", "3" and "4" act
// specially only when the name is that one character.
//
// Print rules: always; when `verbose` is on or the command is not replayed
// from stored text (verbose_or_top); only when not replayed (top).
#pragma once

#include <cstdint>
#include <string>

#include "core/records.h"
#include "toplevel/scanner.h"

namespace tavrin {

enum class print_rule { always, verbose_or_top, top };

// Whether a message under rule r is printed; flag: the stored-text cursor
// of the command (nil cell: read from a stream).
bool shows(print_rule r, nameptr* flag);

// One on/off switch. The bare command flips it and prints bare_on or
// bare_off by the new state (flushing when flush); the valued form sets it
// and prints on/off (or same when it already had the value).
struct switch_row {
  unsigned char bare;      // the bare command's code (0: none)
  char valued;             // the valued setting's letter after renaming (0: none)
  bool* flag_var;          // the switch, or
  std::int32_t* word_var;  // a 0/1 word
  const char* bare_on;
  const char* bare_off;
  print_rule bare_rule;
  bool flush;
  const char* on;   // nil: as bare_on
  const char* off;  // nil: as bare_off
  const char* same;
  print_rule valued_rule;
  void (*after)();  // run after every setting, same value included (nil: none)
};

// The row of the bare command code, or nil.
const switch_row* bare_switch(unsigned char code);
// The row of the valued letter, or nil.
const switch_row* valued_switch(char letter);
// Flips the switch of the bare command. "&B" in word mode: error 377 with
// the current token, nothing changed.
void flip_switch(const switch_row& row, nameptr* flag);

// Called with "(" current, after "&". On return the current token is the
// command's closing ")" (or the setting token after a string form); *n holds
// the evaluated value of a numeric setting (0 after "J"). *colflag := false
// after a numeric setting; *callscan := whether the caller reads the
// statement's ending, set by the string forms ("M": true). Errors: 4 no
// "=", 133 a value other than 0 or 1 for a switch, 135 no ")", 136 no such
// setting, 137 a negative value, 141 a string for a numeric setting, 147 not
// a number; each setting's own range errors.
void set_switch(textptr inf, quolyptr n, nameptr* flag, bool* colflag, bool* callscan);

// ---- Shared setters (bare and valued forms) --------------------------------------------
// The prompt from text: its first 10 characters (a longer text warns);
// " " makes it a carriage return, "" one blank (promptsize 0 both); the
// new prompt is reported.
void set_prompt(const std::string& text);
// detcutoff := v (1 stored as 0), reported when show: the defaults for a
// negative value, the note above 40.
void set_detcutoff(std::int32_t v, bool show);

// ---- Prompting forms ------------------------------------------------------------------------
// Ask for a value on the terminal input Input (after " Enter ...", the
// prompt), read as a sum with modular arithmetic suspended, and report.
// change_detcutoff: *n := the value read (error 189 when not a number).
void change_detcutoff(quolyptr n);
// change_pseudet_heur: pseudet_heur := the value, 0 outside 0 .. 5 (error
// 227 when not a number); *n := pseudet_heur.
void change_pseudet_heur(quolyptr n);
// disp_size := size (0 for a negative size), or, with ask, the value asked
// for (error 227 when not a number); in rational arithmetic disp_cons :=
// 10^(8 disp_size). The current token becomes "@". A size whose disp_cons
// would exceed the longest number is refused with error 302.
void calc_disp(bool ask, std::int32_t size);

}  // namespace tavrin
