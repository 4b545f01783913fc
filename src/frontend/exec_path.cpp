#include "frontend/exec_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>

namespace tavrin {

namespace {

// The current directory, however long; empty when it cannot be read.
std::string current_directory() {
  std::unique_ptr<char, decltype(&std::free)> cwd(getcwd(nullptr, 0), &std::free);
  return cwd ? std::string(cwd.get()) : std::string();
}

// Joins *buf to the current directory and replaces it by its real path.
std::int32_t make_absolute(std::string* buf) {
  const std::string cwd = current_directory();
  if (cwd.empty()) {
    buf->clear();
    return -1;
  }
  const std::string joined = cwd + "/" + *buf;
  std::unique_ptr<char, decltype(&std::free)> real(realpath(joined.c_str(), nullptr), &std::free);
  if (!real) {
    *buf = joined;
    return 1;
  }
  *buf = real.get();
  return 2;
}

}  // namespace

const char* getPathElement(const char* path, std::string* element) {
  const char* colon = std::strchr(path, ':');
  const std::size_t len = colon ? static_cast<std::size_t>(colon - path) : std::strlen(path);
  element->assign(path, len);
  return colon ? colon + 1 : nullptr;
}

std::int32_t get_file_mode(const char* path) {
  struct stat st;
  if (stat(path, &st) != 0) return -1;
  return static_cast<std::int32_t>(st.st_mode);
}

std::int32_t GetExecName(const char* argv0, std::string* buf) {
  buf->clear();
  if (argv0 == nullptr || argv0[0] == '\0') return -1;
  if (argv0[0] == '/') {
    *buf = argv0;
    return 0;
  }
  if (std::strncmp(argv0, "./", 2) == 0) {
    *buf = argv0 + 2;
    return make_absolute(buf);
  }
  if (std::strchr(argv0, '/') != nullptr) {  // "../x" and "dir/x" alike
    *buf = argv0;
    return make_absolute(buf);
  }
  const char* path = std::getenv("PATH");
  std::string element;
  while (path != nullptr) {
    path = getPathElement(path, &element);
    if (element.empty()) continue;
    const std::string candidate = element + "/" + argv0;
    if (access(candidate.c_str(), X_OK) != 0) continue;
    const std::int32_t mode = get_file_mode(candidate.c_str());
    if (mode != -1 && S_ISDIR(static_cast<mode_t>(mode))) continue;
    *buf = candidate;
    if ((*buf)[0] == '/') return 0;
    return make_absolute(buf);
  }
  buf->clear();
  return -1;
}

void resolve_symlink(std::string* fullpath) {
  std::string target(256, '\0');
  for (;;) {
    const ssize_t n = readlink(fullpath->c_str(), target.data(), target.size());
    if (n <= 0) return;
    if (static_cast<std::size_t>(n) < target.size()) {
      target.resize(static_cast<std::size_t>(n));
      break;
    }
    target.resize(2 * target.size());  // the link may have been cut: try again
  }
  const std::size_t slash = fullpath->rfind('/');
  if (target[0] == '/' || slash == std::string::npos) {
    *fullpath = target;
    return;
  }
  fullpath->replace(slash + 1, std::string::npos, target);
}

std::string data_directory(const char* argv0) {
  std::string path;
  GetExecName(argv0, &path);
  resolve_symlink(&path);
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "./BACKWARD/";
  return path.substr(0, slash + 1) + "BACKWARD/";
}

void showtime() {
  const std::time_t now = std::time(nullptr);
  std::printf("%s", std::ctime(&now));
}

}  // namespace tavrin
