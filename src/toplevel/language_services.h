// What the floor of the top level calls in the folders above it: the
// statement dispatcher runs expressions, arrays of arrays, the
// "?", output and cancelling statements and the "&" commands; the output
// file takes its name from an array and prompts like a command. Declared
// here, defined by their owners (lang, arrays, matlang, frontend), whose
// headers include this one beside the contract.
//
// Every reader takes its input as the statement dispatcher passes it: `inf`
// the stream (normally &Input) and `flag` the cursor of stored token text
// (nil cell: read the stream). On entry the global `token` is the first
// token of what is read; on return it is the first token after it.
#pragma once

#include <cstdint>
#include <string>

#include "core/records.h"
#include "toplevel/scanner.h"

namespace tavrin {

// ---- Expressions --------------------------------------------------------------------
// A statement expression, assignment or increment into *n (nil on entry);
// *qp designates the place that holds the value (n itself, a variable's
// cell, or nil for a missing sparse element); *aux, *colpos the sparse
// position of an element.
void expre(textptr inf, quolyptr* qp, quolyptr n, colm_ptrptr* aux, std::int32_t* colpos,
           nameptr* flag);
// A plain sum of terms into *n (owned by the caller).
void old_expre(textptr inf, quolyptr n, nameptr* flag);

// ---- Scalar variables -----------------------------------------------------------------
// The variable named x gets the value num (taken over): an existing one has
// its old value freed, else it is created; *q := its record.
void insert_var(const tokentipe* x, quoly num, varptr* q);

// ---- Arrays and matrix statements -----------------------------------------------------
// (The array statements and operations themselves are registered at start-up:
// run_array_statement, toplevel/dispatch.h.)
// A statement on arrays of arrays (first character "%").
void arr_arr_state(textptr inf, quolyptr n, nameptr* flag);
// The "?" statement on the array named *x (after "?" "["): every element
// of the array or of the block given is read from the terminal, or with
// ":char" a typed text becomes a new array. *stash and saveleft (two
// characters) receive the statement's token and the scanner's push-back
// before the terminal is read, for the caller to restore.
void whole_arrinsert(textptr inf, const tokentipe* x, nameptr* flag, quolyptr n, tokentipe* stash,
                     char* saveleft);
// "[" current: the text spelled by the cells of the whole dense array
// named next (each a character code; blanks and empty cells skipped; at most
// 255 characters) into *newname; empty with a warning when nothing was
// spelled. Errors 28 (no such array), 258 (a block), 259 (sparse), 260 (a
// cell that is not a number) and those of the operand.
void get_from_array(textptr inf, nameptr* flag, std::string* newname);
// The "?" statement on one element of the array named *x ("[" current):
// the subscripts are read, then the element from the terminal. The
// statement's token and push-back are kept meanwhile.
void element_input(textptr inf, const tokentipe* x, nameptr* flag);

// ---- Output and cancelling statements --------------------------------------------------
// The output statement (first character "!").
void write_out(textptr inf, quolyptr n, nameptr* flag);
// The cancelling statement (first character "@"): reads the names after it
// and removes them; `token` is left on the last token of the statement (the
// dispatcher reads the next one).
void rubout(textptr inf, nameptr* flag);

// ---- Commands (frontend/commands.cpp) ------------------------------------------------------
// Runs the command whose "&" is the current token (the dispatcher's "&"
// statements). Contract: frontend/commands.h.
void command_statement(textptr inf, quolyptr n, nameptr* flag);
// The prompt of a command that asks for a value (also the output file's
// name). Contract: frontend/commands.h.
void do_prompts();

}  // namespace tavrin
