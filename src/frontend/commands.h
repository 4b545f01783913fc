// The "&" commands: a statement "&c", "&_c" or "&(setting = value)" flips a
// switch, asks for a value, or acts (quit, panic stop, open or leave a
// nested command level).
#pragma once

#include "core/records.h"
#include "toplevel/language_services.h"  // command_statement, do_prompts
#include "toplevel/scanner.h"

namespace tavrin {

// Internal codes of the underscore commands, above the printable characters.
inline constexpr unsigned char code_random_denominator = 0xD0;  // "&_r"
inline constexpr unsigned char code_suspend_modular = 0xD1;     // "&_m"
inline constexpr unsigned char code_open_level = 0xD2;          // "&_P"
inline constexpr unsigned char code_leave_level = 0xD3;         // "&_p"
inline constexpr unsigned char code_display_width = 0xD4;       // "&_d"
inline constexpr unsigned char code_karatsuba_cutoff = 0xD5;    // "&_k"
inline constexpr unsigned char code_clean_up = 0xD6;            // "&_G"
inline constexpr unsigned char code_read_value = 0xD7;          // "&_n"
inline constexpr unsigned char code_line_suppression = 0xD8;    // "&_s"
inline constexpr unsigned char code_try_rational = 0xD9;        // "&_t"

// Runs the command whose "&" is the current token: reads the command
// character (error 114 when the token is longer, going on with its first
// character; after "_" one more token, error 17 when it names no underscore
// command, going on with it as a plain command; error 17 for a character
// that names no command), runs it, then the tail: the value *n := 0 (some
// commands keep theirs) and the statement's ending token is read (except
// where a command reads it itself or must not).
// command_statement(inf, n, flag): declared in toplevel/language_services.h.

// The prompt of a command that asks for a value: the level number when
// nested, then the prompt, after which the line end that followed the
// command is taken from Input (with an empty prompt the rest of the line is
// dropped); the pending character of the scanner is forgotten.
// do_prompts(): declared in toplevel/language_services.h.

}  // namespace tavrin
