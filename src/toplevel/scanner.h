// The token scanner: every parser reads its input one token at a time
// through scanner(), from an input stream or by replaying stored token text.
//
// Tokens (tokentipe, core/records.h): a name of at most 10 characters with
// its terminating zero, and `address`, the cached hash bucket of the name
// (-1 while no lookup has computed it). A name is a letter followed by
// letters, digits and "_"; it ends at the first other character or after 10
// characters (the 11th begins the next token). Every other character,
// digits and bytes of 128 or more included, is a one-character token: there
// are no two-character tokens (":=" is ":" then "=").
//
// Stored token text: a chain of namenodes along `next` that begins with a
// head node whose own token is not part of the text. A reader walks it with
// a cursor (a nameptr designating the node whose token was delivered last,
// at first the head). Text built from statements ends with the end marker
// (end_marker_name); a text captured by save_input_stream ends with ";".
//
// Reading a stream: white space is blank, tab, line feed and carriage
// return. At the terminal (tt_flag) a line end met where a token would
// begin, or right after a name, yields ";" and stays in the stream (the
// command loop takes it when it prompts again); in a file line ends are
// white space. The continuation character discards the rest of its line and
// its line end. At end of file every call yields ";".
//
// Streams are TextInput readers (platform.h); a textptr designates the
// stream variable to read (normally &Input).
#pragma once

#include <cstdint>

#include "core/records.h"
#include "toplevel/platform.h"

namespace tavrin {

using FILEPtr = TextInput*;
using textptr = FILEPtr*;

// ---- State of the scanner ----------------------------------------------------------
extern FILEPtr Input;                // the current command input; standard input at start
extern nameptr zilch;                // always nil: the cursor passed to read the stream
extern char leftover[2];             // the pending character that ended the last name, or ""
extern bool tt_flag;                 // statements come from the terminal (true), not a file
extern char continuation;            // the line-continuation character, "`" at start
extern std::int32_t semicount;       // ";" in a row counted by the body readers
extern std::int32_t namelength;      // the longest name, 10
extern std::int32_t func_def_count;  // a function definition is being read (> 0)
extern nametype current_func;        // the name of the function being defined
// The ring of the last 60 tokens read from a stream (names only), shown by
// error reports: from `start` to `finish`; finish nil means recording begins
// afresh with the next token.
constexpr int token_ring_size = 60;
extern nameptr start;
extern nameptr finish;
// While stored text is replayed: the node after the one just delivered.
extern nameptr currentchar;

// The end marker of stored text: the two bytes 0xC2 0xA5 (a yen sign). It
// cannot arise from a stream, where each byte is a token of its own.
inline constexpr char end_marker_name[] = "\xC2\xA5";

// Builds the ring of recent tokens (once; later calls only empty it):
// start := its first node, finish := nil.
void make_token_ring();

// Reads the next token into *tok. With *flag not nil: the next node of the
// stored text is delivered (name and address), *flag advances to it and
// currentchar := the node after it; nothing is recorded and the stream is
// untouched. With *flag nil: the token is read from the stream **inf and its
// name recorded in the ring. Reports nothing.
// reads and changes: leftover, semicount, start, finish, currentchar;
// reads: tt_flag, continuation, namelength, throwaways
void scanner(textptr inf, tokentipe* tok, nameptr* flag);

// Records `name` (a whole name buffer: the ring copies all of it) in the
// ring of recent tokens as the scanner does for a
// token read from a stream (for readers that take a run of tokens at once).
void record_token(const nametype& name);

// Reads the next single character as a token (quoted text). With *flag not
// nil the next stored token is delivered whole, as scanner does. Otherwise
// one character of the stream (a pending `leftover` first): a line end is
// taken and delivered as the character 13 with *endline := true (else
// false); the continuation character skips the rest of its line and is
// delivered as a blank; end of input is user error 103 with the token "'"
// (a quoted text left open). The token (address -1) is recorded in the ring
// of recent tokens.
void dumbscanner(textptr inf, tokentipe* tok, nameptr* flag, bool* endline);

// Inside a quoted text, after its closing quote has been read: the next
// character (or stored token) is a second quote, so that the two stand for
// one quote character within the text. Takes nothing.
bool quote_follows(textptr inf, nameptr* flag);

// Captures the rest of the current input line as stored token text: *p :=
// a head node followed by the tokens read from Input up to and including the
// first ";" read while func_def_count is 0 (or at end of input), the last
// node's next nil. *p := nil when the next character of Input is a line feed
// (nothing is read) or when the ";" alone was captured. command_int is held
// at 0 meanwhile.
void save_input_stream(nameptr* p);

}  // namespace tavrin
