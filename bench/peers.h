// The peers of the comparison programs, and how they are timed (benchmarks
// only):
// - peer programs (the real tavrin, gp, Singular, Giac), each run as a
//   process of its own on a script: what it printed, its processor time,
//   and a stop when it overruns its limit;
// - a peer library beside Tavrin in this process: processor seconds (the
//   machine may be shared), alternating runs, medians;
// - the rows a comparison program runs, chosen by the prefix of their names.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace tavrin::bench {

// ---- Peer programs ------------------------------------------------------------------------

inline bool on_path(const char* program) {
  return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

// How a run is watched. The clock starts when the program prints the line
// `start` (at once when it is empty); the program is stopped when `end` has
// not been printed after `limit` seconds of its processor time (0: no
// limit), or after wall_factor times that of wall time (a program that
// waits, or one starved by a loaded machine). `setup_limit` bounds the wait
// for `start` alike. Each line `lap` printed between the two starts the
// clock again: every timing of several gets the limit.
struct Watch {
  std::string start, end;
  double limit = 0, setup_limit = 0;
  std::string lap = "";
};

constexpr double wall_factor = 5;

struct ProgramRun {
  std::string out;       // standard output (and error, when asked for)
  double seconds = 0;    // processor time of the process, user and system
  int phase = 0;         // 0 before `start` was printed, 1 before `end`, 2 after
  bool stopped = false;  // overran its limit in that phase and was stopped
  bool killed = false;   // ended by a kill not ours (the system's, out of memory)
  bool timed_out() const { return stopped && phase == 1; }
};

namespace detail {

// The processor seconds (user and system) the running process has used so
// far, from /proc; -1 when it cannot be read.
inline double processor_seconds(pid_t pid) {
  std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
  std::string stat;
  std::getline(f, stat);
  const std::size_t close = stat.rfind(')');  // after the command's name
  if (close == std::string::npos) return -1;
  std::istringstream fields(stat.substr(close + 1));
  std::string field;
  double ticks = 0;
  for (int i = 0; i < 13 && fields >> field; ++i)  // the state, ..., utime and stime
    if (i >= 11) ticks += std::atof(field.c_str());
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Reads the child's output from fd until it ends, stopping the child (by its
// id) when it overruns the watch; then reaps it.
inline ProgramRun collect(pid_t pid, int fd, const Watch& w) {
  using clock = std::chrono::steady_clock;
  ProgramRun r;
  r.phase = w.start.empty() ? 1 : 0;
  clock::time_point since = clock::now();
  double since_cpu = processor_seconds(pid);
  std::size_t from = 0;      // where the next marker is looked for
  std::size_t lap_from = 0;  // and the next lap, once timing
  char buf[1 << 16];
  for (;;) {
    const double bound = r.phase == 1 ? w.limit : w.setup_limit;
    int wait_ms = -1;
    if (bound > 0) {
      const double wall = std::chrono::duration<double>(clock::now() - since).count();
      const double cpu = processor_seconds(pid);
      const double used = cpu >= 0 && since_cpu >= 0 ? cpu - since_cpu : wall;
      if (used >= bound || wall >= wall_factor * bound) {
        r.stopped = true;
        kill(pid, SIGKILL);
        break;
      }
      // look again within a fifth of a second: the processor time is not waited for
      wait_ms = static_cast<int>(std::min(0.2, bound - used) * 1000) + 1;
    }
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, wait_ms) <= 0) continue;
    const ssize_t got = read(fd, buf, sizeof buf);
    if (got <= 0) break;
    r.out.append(buf, static_cast<std::size_t>(got));
    // a marker may be printed together with the one before it
    while (r.phase < 2) {
      const std::string& marker = r.phase == 0 ? w.start : w.end;
      if (marker.empty()) break;
      const std::size_t at = r.out.find(marker, from);
      if (at == std::string::npos) {
        from = r.out.size() > marker.size() ? r.out.size() - marker.size() : 0;
        break;
      }
      ++r.phase;
      from = at + marker.size();
      if (r.phase == 1) lap_from = from;
      since = clock::now();
      since_cpu = processor_seconds(pid);
    }
    if (r.phase == 1 && !w.lap.empty())
      for (std::size_t at = r.out.find(w.lap, lap_from); at != std::string::npos;
           at = r.out.find(w.lap, lap_from)) {
        lap_from = at + w.lap.size();
        since = clock::now();
        since_cpu = processor_seconds(pid);
      }
  }
  close(fd);
  int status = 0;
  rusage u{};
  wait4(pid, &status, 0, &u);
  r.killed = !r.stopped && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  r.seconds = static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
              1e-6 * static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
  return r;
}

// Forks a child whose standard output goes to a pipe (its standard error
// too, when `errors`, else nowhere), and which runs `body` with standard
// input from the file `input` (/dev/null when empty).
inline ProgramRun fork_child(const std::string& input, bool errors,
                             const std::function<void()>& body, const Watch& w) {
  int fds[2];
  if (pipe(fds) != 0) return {};
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) {
    close(fds[0]);
    close(fds[1]);
    return {};
  }
  if (pid == 0) {
    close(fds[0]);
    dup2(fds[1], 1);
    const int err = errors ? fds[1] : open("/dev/null", O_WRONLY);
    if (err >= 0) dup2(err, 2);
    close(fds[1]);
    // without an input the child reads an empty one: a program that waits
    // for more input after an error ends instead of waiting on ours
    const int in = open(input.empty() ? "/dev/null" : input.c_str(), O_RDONLY);
    if (in >= 0) dup2(in, 0);
    body();
    std::fflush(nullptr);
    _exit(0);
  }
  close(fds[1]);
  return collect(pid, fds[0], w);
}

}  // namespace detail

// Runs `command` through the shell on the script: "%s" in the command
// stands for the script's file, and the script is its standard input
// otherwise ("gp -q", "Singular -q %s"). Standard error goes with the
// output when `errors`, else nowhere.
inline ProgramRun run_program(const std::string& command, const std::string& script,
                              const Watch& w = {}, bool errors = true) {
  static std::atomic<int> count{0};  // the sweep runs programs from several threads
  const std::string file =
      "/tmp/tavrin_bench_" + std::to_string(::getpid()) + "_" + std::to_string(++count);
  {
    std::ofstream f(file, std::ios::binary);
    f << script;
  }
  std::string cmd = command;
  const std::size_t at = cmd.find("%s");
  if (at != std::string::npos) cmd.replace(at, 2, file);
  cmd = "exec " + cmd;
  ProgramRun r = detail::fork_child(
      at == std::string::npos ? file : "", errors,
      [&] { execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr)); }, w);
  std::remove(file.c_str());
  return r;
}

// Runs body in a child process of its own (a peer library that may overrun
// its limit); what it printed and its processor time.
inline ProgramRun run_forked(const std::function<void()>& body, const Watch& w = {}) {
  return detail::fork_child("", true, body, w);
}

// The non-empty lines of text, line ends trimmed.
inline std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t to = text.find('\n', from);
    if (to == std::string::npos) to = text.size();
    std::string s = text.substr(from, to - from);
    while (!s.empty() && s.back() == '\r') s.pop_back();
    if (!s.empty()) lines.push_back(s);
    from = to + 1;
  }
  return lines;
}

// Runs Singular quietly on the script text (within `limit` seconds of wall
// time, 0: none): its non-empty output lines; empty when Singular is not on
// PATH or printed nothing.
inline std::vector<std::string> run_singular(const std::string& script, int limit = 0) {
  if (!on_path("Singular")) return {};
  return lines_of(run_program("Singular -q --no-warn %s", script,
                              {"", "", static_cast<double>(limit), 0}, false)
                      .out);
}

// ---- A peer library in this process ------------------------------------------------------

// Processor time of this process in seconds.
inline double cpu_seconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

// The median of v; 0 when v is empty.
inline double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

struct PairTiming {
  int reps = 5;                            // runs of each
  bool stop_when_slow = true;              // one run each when ours takes over two seconds
  std::function<void(double)> first_peer;  // told the first peer time, when set
  double peer_once_after = 0;              // > 0: a peer run slower than this is not repeated
};

// Times ours() and peer() alternately (peer may be empty), the peer first so
// that a row stopped in ours still has the peer's time; the medians in
// seconds. A first pair in which ours takes under a second only fills the
// pools and tables and is not counted.
inline std::pair<double, double> time_pair(const std::function<void()>& ours,
                                           const std::function<void()>& peer,
                                           const PairTiming& how = {}) {
  std::vector<double> a, b;
  bool warm = false;
  for (int i = 0; i < how.reps; ++i) {
    const bool peer_slow = how.peer_once_after > 0 && !b.empty() && b.front() > how.peer_once_after;
    if (peer && !peer_slow) {
      const double t0 = cpu_seconds();
      peer();
      b.push_back(cpu_seconds() - t0);
      if (i == 0 && how.first_peer) how.first_peer(b.back());
    }
    const double t0 = cpu_seconds();
    ours();
    a.push_back(cpu_seconds() - t0);
    if (!warm && a.front() < 1.0) {
      warm = true;
      a.clear();
      if (b.empty() || how.peer_once_after <= 0 || b.front() <= how.peer_once_after) b.clear();
      --i;
      continue;
    }
    if (a.front() > 2.0 && how.stop_when_slow) break;
  }
  return {median(a), median(b)};
}

// The rows asked for: those whose names start with row_filter (the first
// argument of the program; every row without one).
inline const char* row_filter = "";
inline bool wanted(const char* row) {
  return std::strncmp(row, row_filter, std::strlen(row_filter)) == 0;
}

}  // namespace tavrin::bench
