// The small readers every parser of statements, commands and built-ins
// starts from: a test of the current token, the next token from the same
// source, a required token and the test of a decimal digit. They stand in a
// namespace of their own, taken with `using namespace tokens;`, so that a
// file may keep a reader of the same name for its own source (the built-ins
// read through their environment).
#pragma once

#include <cstdint>
#include <cstring>

#include "core/errors.h"
#include "core/globals.h"
#include "core/records.h"
#include "toplevel/scanner.h"

namespace tavrin::tokens {

// Whether the current token is the word w.
inline bool is_tok(const char* w) { return std::strcmp(token.name, w) == 0; }

// The next token from inf (or the stored text at *flag) becomes current.
inline void scan(textptr inf, nameptr* flag) { scanner(inf, &token, flag); }

// The current token must be w; anything else abandons the statement with
// user error `code`.
inline void expect(const char* w, std::int32_t code) {
  if (!is_tok(w)) abandon(code, &token);
}

// Whether c is one of the ASCII digits 0 .. 9 (whatever the locale).
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

}  // namespace tavrin::tokens
