#include "toplevel/output_file.h"

#include <cerrno>
#include <cstring>

#include "core/error_codes.h"
#include "core/errors.h"
#include "core/globals.h"
#include "toplevel/file_names.h"
#include "toplevel/language_services.h"
#include "toplevel/state.h"
#include "toplevel/tokens.h"

namespace tavrin {

std::FILE* outpuf = nullptr;

namespace {

int write_errno = 0;  // the failure of the last write, flush or close

using tokens::is_tok;

// Asks for the name; false when the answer cancels.
bool ask_name(textptr inf, nameptr* flag, std::string* name) {
  scanner(inf, &token, flag);
  const tokentipe ending = token;
  std::printf("Enter name of output file: \n");
  do_prompts();
  leftover[0] = '\0';
  scanner(&Input, &token, &zilch);
  bool go_on = true;
  if (is_tok("@")) {
    std::printf("*** Save cancelled\n");
    leftover[0] = '\0';
    go_on = false;
  } else {
    *name = typed_file_name(false);
  }
  token = ending;
  return go_on;
}

// The file `name` (closed now) lost what was written to it.
void report_write_failure(const std::string& name) {
  std::printf(" *** Writing to the output file %s failed (%s).\n", name.c_str(),
              std::strerror(write_errno));
  error(writing_output_file_failed_file_closed_error, &blank);
}

}  // namespace

bool close_output_file() {
  if (outpuf == nullptr) return true;
  bool ok = std::fflush(outpuf) == 0 && std::ferror(outpuf) == 0;
  if (!ok) write_errno = errno;
  if (std::fclose(outpuf) != 0 && ok) {
    ok = false;
    write_errno = errno;
  }
  outpuf = nullptr;
  return ok;
}

void close_output_file_at_quit() {
  const std::string name = output_file_name;
  if (close_output_file()) return;
  std::printf(" *** Writing to the output file %s failed (%s).\n", name.c_str(),
              std::strerror(write_errno));
}

void check_output_file() {
  if (outpuf == nullptr) return;
  if (std::fflush(outpuf) == 0 && std::ferror(outpuf) == 0) return;
  write_errno = errno;
  close_output_file();
  const std::string name = output_file_name;
  output_file_name.clear();
  report_write_failure(name);
}

void save_output_file(textptr inf, nameptr* flag, const std::string& newname) {
  std::string name = newname;
  if (name == " " && !ask_name(inf, flag, &name)) return;
  const tokentipe ending = token;
  if (name.empty()) {
    error(file_name_empty_error, &token);
    return;
  }
  if (name == input_file_name) {
    error(input_output_file_must_differ_error, &token);
    return;
  }
  const bool was_open = outpuf != nullptr;
  const bool closed_ok = close_output_file();
  const std::string old_name = output_file_name;
  output_file_name.clear();
  if (!closed_ok) {
    report_write_failure(old_name);
    return;
  }
  if (name == "@") {
    if (*flag == nullptr) {
      if (!was_open)
        std::printf(" *** Warning. No output file had been open.\n");
      else
        std::printf(" Now closing %s.\n", old_name.c_str());
    }
    return;
  }
  outpuf = std::fopen(name.c_str(), "w");
  if (outpuf == nullptr) {
    report_cannot_open(name);
    token = ending;
    return;
  }
  output_file_name = name;
}

}  // namespace tavrin
