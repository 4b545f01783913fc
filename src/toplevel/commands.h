// The "&" commands: a statement "&c", "&_c" or "&(setting = value)" flips a
// switch, asks for a value, or acts (quit, panic stop, open or leave a
// nested command level).
#pragma once

#include "core/records.h"
#include "toplevel/scanner.h"

namespace tavrin {

// Runs the command whose "&" is the current token: reads the command
// character (error 114 when the token is longer, going on with its first
// character; after "_" one more token, error 17 when it names no underscore
// command, going on with it as a plain command; error 17 for a character
// that names no command), runs it, then the tail: the value *n := 0 (some
// commands keep theirs) and the statement's ending token is read (except
// where a command reads it itself or must not).
void command_statement(textptr inf, quolyptr n, nameptr* flag);

// The prompt of a command that asks for a value: the level number when
// nested, then the prompt, after which the line end that followed the
// command is taken from Input (with an empty prompt the rest of the line is
// dropped); the pending character of the scanner is forgotten.
void do_prompts();

}  // namespace tavrin
