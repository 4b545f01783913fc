#include "frontend/command_files.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "core/interrupts.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "toplevel/dispatch.h"
#include "toplevel/file_names.h"
#include "toplevel/language_services.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"
#include "lang/poly_readin.h"
#include "frontend/command_loop.h"
#include "frontend/commands.h"

namespace tavrin {

namespace {

int depth = 0;
// Files closed while a statement of theirs was still running (a "&R" inside
// the file): kept until the outermost reading ends, so the readers below
// never hold a dangling stream.
std::vector<std::unique_ptr<TextInput>> retired;

using tokens::is_tok;

void close_input_file() {
  if (inpuf == nullptr) return;
  if (depth > 0)
    retired.emplace_back(inpuf);
  else
    delete inpuf;
  inpuf = nullptr;
}

// Asks for the file name at the terminal; false when the answer cancels.
bool ask_name(std::string* name) {
  std::printf("Enter name of input file: \n");
  do_prompts();
  scanner(&Input, &token, &zilch);
  if (is_tok("@")) {
    std::printf("*** Read cancelled\n");
    std::strcpy(token.name, ";");
    token.address = -1;
    leftover[0] = '\0';
    return false;
  }
  *name = typed_file_name(true);
  return true;
}

// Opens the file name for reading as the command file; false when it cannot
// be opened (nothing is left open then).
bool open_input_file(const std::string& name) {
  std::FILE* f = std::fopen(name.c_str(), "r");
  if (f == nullptr) return false;
  inpuf = new TextInput(f, true);
  return true;
}

void cannot_open(const std::string& name) {
  std::printf(" *** Warning. %s: no such file. Read cancelled.\n", name.c_str());
  input_file_name.clear();
  std::strcpy(token.name, ";");
  token.address = -1;
  leftover[0] = '\0';
  report_cannot_open(name);
}

}  // namespace

void run_file_statements(TextInput* in, quolyptr n, bool command_file) {
  FILEPtr file = in;
  ScopedValue<TextInput*> reading(file_being_read, in);
  while ((!command_file || inpuf == in) && !in->at_eof() && !done_load) {
    check_interrupt();
    scanner(&file, &token, &zilch);
    if (in->at_eof()) {  // a last token without its statement is dropped
      leftover[0] = '\0';
      break;
    }
    free_quoly(n);
    reset_operation_counters();
    parse(&file, n, &zilch);
    zilch = nullptr;
    check_statement_end();
    finish = nullptr;
    leftover[0] = '\0';
    in->drop_line();
  }
}

void load(textptr inf, quolyptr n, nameptr* flag, const std::string& newtok, bool* quit) {
  ScopedValue<bool> warn_negative(minus_warning, true);
  ScopedValue<bool> kept_integerflag(integerflag, false);
  *quit = false;
  if (*n == nullptr) set_zero_value(n);
  const bool renames = is_tok("R");
  tokentipe ending = token;

  bool continues = false;
  if (!input_file_name.empty() && !renames) {
    // Reading the file being read would restart it for ever.
    if (depth > 0 && file_being_read == inpuf)
      return error(input_output_file_must_differ_error, &token);
    if (!done_load || inpuf == nullptr) {
      close_input_file();
      if (!open_input_file(input_file_name)) return cannot_open(input_file_name);
    }
    continues = true;
  } else {
    std::string name = newtok;
    if (name == " ") {
      scanner(inf, &token, flag);
      ending = token;
      *quit = true;
      if (!ask_name(&name)) return;
    }
    if (name.empty()) return error(file_name_empty_error, &token);
    if (name == output_file_name) return error(input_output_file_must_differ_error, &token);
    if (depth > 0 && name == input_file_name)
      return error(input_output_file_must_differ_error, &token);
    if (name == "@") {
      const bool had_name = !input_file_name.empty();
      close_input_file();
      if (*flag == nullptr) {
        if (had_name)
          std::printf(" Now closing %s.\n", input_file_name.c_str());
        else
          std::printf(" *** Warning. No input file had been open.\n");
      }
      input_file_name.clear();
      if (*quit) token = ending;
      return;
    }
    close_input_file();
    input_file_name = name;
    if (!open_input_file(name)) return cannot_open(name);
    done_load = false;
  }

  const char kept_leftover = leftover[0];
  {
    ScopedValue<bool> file_mode(tt_flag, false);
    leftover[0] = '\0';
    if (continues && done_load && inpuf->at_eof()) {
      done_load = false;
      std::printf("*** Warning.  End of file %s encountered.\n", input_file_name.c_str());
    } else {
      done_load = false;
      ++depth;
      struct depth_count {
        ~depth_count() {
          if (--depth == 0) retired.clear();
        }
      } counted;
      run_file_statements(inpuf, n, true);
    }
  }
  if (*n == nullptr) set_zero_value(n);
  if (*quit) {
    token = ending;
  } else if (*flag == nullptr) {
    leftover[0] = kept_leftover;
  }
}

}  // namespace tavrin
