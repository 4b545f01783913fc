#include "support/program_run.h"

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace tavrin::test {

ShellRun run_shell(const std::string& command) {
  ShellRun r;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return r;
  char buf[65536];
  std::size_t n = 0;
  while ((n = std::fread(buf, 1, sizeof buf, pipe)) > 0) r.out.append(buf, n);
  const int status = pclose(pipe);
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return r;
}

ProgramDir::ProgramDir() {
  char dir_template[] = "/tmp/tavrin_run_XXXXXX";
  if (const char* d = mkdtemp(dir_template)) dir_ = d;
  std::ofstream(dir_ + "/tvrstart.txt") << "100\n";
}

ProgramDir::~ProgramDir() {
  std::error_code ignored;
  if (!dir_.empty()) std::filesystem::remove_all(dir_, ignored);
}

std::string ProgramDir::run(const std::string& statements) const {
  if (dir_.empty()) return "";
  std::ofstream(dir_ + "/in.txt") << statements;
  return run_shell("cd " + dir_ + " && " + TAVRIN_TEST_EXECUTABLE + " < in.txt").out;
}

std::string ProgramDir::file(const std::string& name) const {
  std::ifstream in(dir_ + "/" + name);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string run_program(const std::string& statements) { return ProgramDir().run(statements); }

}  // namespace tavrin::test
