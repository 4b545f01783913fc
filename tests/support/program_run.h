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
  const std::string& path() const { return dir_; }

 private:
  std::string dir_;
};

// The program's standard output for statements typed in a fresh directory.
std::string run_program(const std::string& statements);

// The program running in a fresh directory while the test types statements
// to it, reads what it has written so far and sends it signals (for the
// terminal interrupt). Killed, if still running, at the end.
class LiveProgram {
 public:
  // threads: the TAVRIN_THREADS it runs with (0: the environment's).
  explicit LiveProgram(int threads = 0);
  ~LiveProgram();
  LiveProgram(const LiveProgram&) = delete;
  LiveProgram& operator=(const LiveProgram&) = delete;

  bool running() const { return pid_ > 0; }
  void type(const std::string& text);  // written to its standard input
  void interrupt();                    // SIGINT, as Ctrl-C at a terminal
  // Waits up to `seconds` (wall clock) for `text` in the output from
  // position `from` on; its position, or std::string::npos.
  std::size_t wait_for(const std::string& text, double seconds, std::size_t from = 0);
  // Everything it has written so far.
  const std::string& output() const { return out_; }
  // The processor time it has used so far (user and system, seconds).
  double cpu_seconds() const;

 private:
  void read_available(int timeout_ms);

  ProgramDir dir_;
  int pid_ = -1;
  int to_ = -1, from_ = -1;  // the pipe ends of its standard input and output
  std::string out_;
};

}  // namespace tavrin::test
