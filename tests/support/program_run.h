// The real program run as a separate process: a shell command's output and
// exit status, and a directory of its own in which statements are piped
// to the program.
#pragma once

#include <string>

namespace tavrin::test {

struct ShellRun {
  std::string out;  // what the command wrote to its standard output
  int status = -1;  // its exit status; -1 when it could not run or did not exit
};

// Runs command through the shell and reads its standard output to the end.
ShellRun run_shell(const std::string& command);

// A fresh directory under /tmp with a start-up file of its own, removed
// with everything in it at the end.
class ProgramDir {
 public:
  ProgramDir();
  ~ProgramDir();
  ProgramDir(const ProgramDir&) = delete;
  ProgramDir& operator=(const ProgramDir&) = delete;

  // The program's standard output for statements typed in this directory.
  std::string run(const std::string& statements) const;
  // The text of the file name in this directory ("" when there is none).
  std::string file(const std::string& name) const;

 private:
  std::string dir_;
};

// The program's standard output for statements typed in a fresh directory.
std::string run_program(const std::string& statements);

}  // namespace tavrin::test
