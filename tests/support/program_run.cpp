#include "support/program_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

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

LiveProgram::LiveProgram(int threads) {
  int in[2], out[2];
  if (dir_.path().empty() || pipe(in) != 0) return;
  if (pipe(out) != 0) {
    close(in[0]);
    close(in[1]);
    return;
  }
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(in[0], 0);
    dup2(out[1], 1);
    for (int fd : {in[0], in[1], out[0], out[1]}) close(fd);
    signal(SIGINT, SIG_DFL);
    if (threads > 0) setenv("TAVRIN_THREADS", std::to_string(threads).c_str(), 1);
    if (chdir(dir_.path().c_str()) == 0)
      execl(TAVRIN_TEST_EXECUTABLE, TAVRIN_TEST_EXECUTABLE, nullptr);
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  to_ = in[1];
  from_ = out[0];
  if (pid < 0) {
    close(to_);
    close(from_);
    to_ = from_ = -1;
    return;
  }
  pid_ = pid;
  fcntl(from_, F_SETFL, O_NONBLOCK);
  signal(SIGPIPE, SIG_IGN);  // a program that has ended fails the test, not the runner
}

LiveProgram::~LiveProgram() {
  if (to_ >= 0) close(to_);
  if (from_ >= 0) close(from_);
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

void LiveProgram::type(const std::string& text) {
  std::size_t done = 0;
  while (to_ >= 0 && done < text.size()) {
    const ssize_t n = write(to_, text.data() + done, text.size() - done);
    if (n <= 0) return;
    done += static_cast<std::size_t>(n);
  }
}

void LiveProgram::interrupt() {
  if (pid_ > 0) kill(pid_, SIGINT);
}

void LiveProgram::read_available(int timeout_ms) {
  if (from_ < 0) return;
  pollfd p{from_, POLLIN, 0};
  if (poll(&p, 1, timeout_ms) <= 0) return;
  char buf[65536];
  for (;;) {
    const ssize_t n = read(from_, buf, sizeof buf);
    if (n <= 0) {
      if (n == 0) {  // it has ended
        close(from_);
        from_ = -1;
      }
      return;
    }
    out_.append(buf, static_cast<std::size_t>(n));
  }
}

std::size_t LiveProgram::wait_for(const std::string& text, double seconds, std::size_t from) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    const std::size_t at = out_.find(text, std::min(from, out_.size()));
    if (at != std::string::npos) return at;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        end - std::chrono::steady_clock::now());
    if (left.count() <= 0 || from_ < 0) return std::string::npos;
    read_available(static_cast<int>(std::min<long long>(left.count(), 20)));
  }
}

double LiveProgram::cpu_seconds() const {
  if (pid_ <= 0) return 0;
  std::ifstream in("/proc/" + std::to_string(pid_) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t close_paren = stat.rfind(')');
  if (close_paren == std::string::npos) return 0;
  std::istringstream fields(stat.substr(close_paren + 2));
  std::string field;
  double ticks = 0;
  // fields 3 onwards; utime and stime are fields 14 and 15
  for (int k = 3; k <= 15 && fields >> field; ++k)
    if (k >= 14) ticks += std::stod(field);
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace tavrin::test
