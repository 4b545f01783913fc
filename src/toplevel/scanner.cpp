#include "toplevel/scanner.h"

#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"
#include "toplevel/charsets.h"

namespace tavrin {

FILEPtr Input = &standard_input();
nameptr zilch = nullptr;
char leftover[2] = "";
bool tt_flag = true;
char continuation = '`';
std::int32_t semicount = 0;
std::int32_t namelength = 10;
std::int32_t func_def_count = 0;
nametype current_func = "";
nameptr start = nullptr;
nameptr finish = nullptr;
nameptr currentchar = nullptr;

namespace {

bool is_letter(int c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool is_name_char(int c) { return is_letter(c) || (c >= '0' && c <= '9') || c == '_'; }
bool is_white(int c) { return in_set(throwaways, c); }
bool is_continuation(int c) { return c == static_cast<unsigned char>(continuation); }

// The continuation character was taken: the rest of its line goes.
int after_continuation(TextInput& in) {
  in.skip_line();
  semicount = 0;
  return ' ';
}

// Skips white space and line ends to the first character of a token.
int skip_to_token(TextInput& in) {
  int c;
  do {
    c = in.at_eof() ? ';' : ' ';
    while (is_white(c)) {
      if (in.at_eof() || in.peek() == '\n') break;
      c = in.get();
    }
    if (in.peek() == '\n' && c == ' ') c = tt_flag ? ';' : in.get();
    if (is_continuation(c)) c = after_continuation(in);
  } while (is_white(c));
  return c;
}

void record(const char* name) {
  if (start == nullptr) return;  // no ring (tests that never made one)
  if (finish == nullptr) {
    finish = start;
  } else {
    finish = finish->next;
    if (finish == start) start = start->next;
  }
  std::memcpy(finish->let.name, name, sizeof(nametype));
}

}  // namespace

void make_token_ring() {
  if (start == nullptr) {
    nameptr first = nullptr, last = nullptr;
    for (int k = 0; k < token_ring_size; ++k)
      nodes::append_node(first, last, nodes::new_name(empty));
    last->next = first;
    start = first;
  }
  finish = nullptr;
}

void scanner(textptr inf, tokentipe* tok, nameptr* flag) {
  if (*flag != nullptr) {
    *flag = (*flag)->next;
    *tok = (*flag)->let;
    currentchar = (*flag)->next;
    return;
  }
  TextInput& in = **inf;
  tok->name[0] = '\0';
  tok->address = -1;

  int c;
  if (leftover[0] != '\0' && leftover[0] != ' ') {
    c = static_cast<unsigned char>(leftover[0]);
  } else {
    c = skip_to_token(in);
  }

  if (!is_letter(c)) {
    tok->name[0] = static_cast<char>(c);
    tok->name[1] = '\0';
    leftover[0] = '\0';
  } else {
    const int longest = namelength < 1 || namelength > 10 ? 10 : namelength;
    int len = 0;
    for (;;) {
      tok->name[len++] = static_cast<char>(c);
      if (in.at_eof()) {
        c = ';';
      } else if (in.peek() == '\n') {
        c = ' ';
      } else {
        c = in.get();
      }
      if (tt_flag && c == ' ' && in.peek() == '\n') c = ';';
      if (is_continuation(c)) c = after_continuation(in);
      if (len == longest || !is_name_char(c)) break;
    }
    tok->name[len] = '\0';
    leftover[0] = static_cast<char>(c);
  }
  leftover[1] = '\0';
  record(tok->name);
}

void record_token(const nametype& name) { record(name); }

void dumbscanner(textptr inf, tokentipe* tok, nameptr* flag, bool* endline) {
  *endline = false;
  if (*flag != nullptr) {
    *flag = (*flag)->next;
    *tok = (*flag)->let;
    currentchar = (*flag)->next;
    return;
  }
  TextInput& in = **inf;
  int c;
  if (leftover[0] != '\0' && leftover[0] != ' ') {
    c = static_cast<unsigned char>(leftover[0]);
    leftover[0] = '\0';
  } else {
    leftover[0] = '\0';
    c = in.get();
  }
  if (c == EOF) {
    // Every caller is inside a quoted text, which the end of input leaves
    // open: reading on would spin on ";" for ever.
    static const tokentipe quote{"'", -1};
    abandon(input_ended_inside_unfinished_statement_definition_error, &quote);
  } else if (c == '\n') {
    c = 13;
    *endline = true;
  } else if (is_continuation(c)) {
    c = after_continuation(in);
  }
  tok->name[0] = static_cast<char>(c);
  tok->name[1] = '\0';
  tok->address = -1;
  record(tok->name);
}

bool quote_follows(textptr inf, nameptr* flag) {
  if (*flag != nullptr) {
    const nameptr next = (*flag)->next;
    return next != nullptr && std::strcmp(next->let.name, "'") == 0;
  }
  if (leftover[0] != '\0' && leftover[0] != ' ') return leftover[0] == '\'';
  return (*inf)->peek() == '\'';
}

void save_input_stream(nameptr* p) {
  ScopedValue<bool> hold(command_int, false);
  *p = nullptr;
  if (Input->peek() == '\n') return;
  nameptr head = nodes::new_name(empty);
  nameptr last = head;
  int count = 0;
  for (;;) {
    tokentipe t;
    scanner(&Input, &t, &zilch);
    last->next = nodes::new_name(t);
    last = last->next;
    ++count;
    if (std::strcmp(t.name, ";") == 0 && (func_def_count == 0 || Input->at_eof())) break;
  }
  last->next = nullptr;
  if (count == 1) {
    freename(head);
    return;
  }
  *p = head;
}

}  // namespace tavrin
