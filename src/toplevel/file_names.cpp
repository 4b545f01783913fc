#include "toplevel/file_names.h"

#include <cstdio>
#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "toplevel/language_services.h"
#include "toplevel/scanner.h"
#include "toplevel/tokens.h"

namespace tavrin {

namespace {

constexpr std::size_t longest_name = 255;

using tokens::is_tok;

// A quoted name typed at the terminal, after its opening quote.
std::string quoted_name(bool stop_at_end_of_input) {
  std::string name;
  for (;;) {
    bool endline = false;
    dumbscanner(&Input, &token, &zilch, &endline);
    if (is_tok("'")) {
      if (!quote_follows(&Input, &zilch)) break;  // two quotes stand for one
      dumbscanner(&Input, &token, &zilch, &endline);
    }
    if (is_tok(end_marker_name)) {
      error(bad_quoted_name_empty_text_ended_error, &token);
      break;
    }
    if (name.size() + std::strlen(token.name) > longest_name) {
      std::printf("*** Warning. Name is too long.\n");
      break;
    }
    name += token.name;
    if (stop_at_end_of_input && Input->at_eof()) break;
  }
  return name;
}

}  // namespace

std::string typed_file_name(bool stop_at_end_of_input) {
  std::string name;
  if (is_tok("'")) {
    name = quoted_name(stop_at_end_of_input);
  } else if (is_tok("[")) {
    get_from_array(&Input, &zilch, &name);
  } else {
    name = token.name;
    std::printf("\n");
  }
  leftover[0] = '\0';
  return name;
}

void report_cannot_open(const std::string& name) {
  tokentipe bad{};
  std::strncpy(bad.name, name.c_str(), sizeof bad.name - 1);
  bad.address = -1;
  error(file_cannot_opened_error, &bad);
}

}  // namespace tavrin
