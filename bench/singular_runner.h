// Singular, a peer program of the comparisons, run on a script.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace tavrin::bench {

// Runs Singular quietly on the script text (within `limit` seconds of wall
// time, 0: none): its non-empty output lines; empty when Singular is not on
// PATH or printed nothing.
inline std::vector<std::string> run_singular(const std::string& script, int limit = 0) {
  if (std::system("command -v Singular >/dev/null 2>&1") != 0) return {};
  const std::string file = "/tmp/tavrin_compare_sing_" + std::to_string(::getpid()) + ".sing";
  FILE* f = std::fopen(file.c_str(), "w");
  if (f == nullptr) return {};
  std::fputs(script.c_str(), f);
  std::fclose(f);
  const std::string timeout = limit > 0 ? "timeout " + std::to_string(limit) + " " : "";
  std::vector<std::string> lines;
  if (FILE* in = popen((timeout + "Singular -q --no-warn " + file).c_str(), "r")) {
    char line[1 << 16];
    while (std::fgets(line, sizeof line, in) != nullptr) {
      std::string s(line);
      while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
      if (!s.empty()) lines.push_back(s);
    }
    pclose(in);
  }
  std::remove(file.c_str());
  return lines;
}

}  // namespace tavrin::bench
