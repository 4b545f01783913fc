#include "frontend/exec_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace tavrin {

namespace {

// Copies src into dst (exec_path_bytes bytes), cut to fit.
void copy_bounded(char* dst, const char* src) {
  const std::size_t len = std::strlen(src);
  const std::size_t n = len < exec_path_bytes - 1 ? len : exec_path_bytes - 1;
  std::memmove(dst, src, n);
  dst[n] = '\0';
}

// Joins buf to the current directory and replaces it by its real path.
std::int32_t make_absolute(char* buf) {
  char cwd[exec_path_bytes];
  if (getcwd(cwd, sizeof cwd) == nullptr) {
    buf[0] = '\0';
    return -1;
  }
  char joined[2 * exec_path_bytes + 2];
  std::snprintf(joined, sizeof joined, "%s/%s", cwd, buf);
  char real[PATH_MAX];
  if (realpath(joined, real) == nullptr) {
    copy_bounded(buf, joined);
    return 1;
  }
  copy_bounded(buf, real);
  return 2;
}

}  // namespace

const char* getPathElement(const char* path, char* buf) {
  const char* colon = std::strchr(path, ':');
  const std::size_t len = colon ? static_cast<std::size_t>(colon - path) : std::strlen(path);
  const std::size_t n = len < exec_path_bytes - 1 ? len : exec_path_bytes - 1;
  std::memcpy(buf, path, n);
  buf[n] = '\0';
  return colon ? colon + 1 : nullptr;
}

std::int32_t get_file_mode(const char* path) {
  struct stat st;
  if (stat(path, &st) != 0) return -1;
  return static_cast<std::int32_t>(st.st_mode);
}

std::int32_t GetExecName(const char* argv0, char* buf) {
  buf[0] = '\0';
  if (argv0 == nullptr || argv0[0] == '\0') return -1;
  if (argv0[0] == '/') {
    copy_bounded(buf, argv0);
    return 0;
  }
  if (std::strncmp(argv0, "./", 2) == 0) {
    copy_bounded(buf, argv0 + 2);
    return make_absolute(buf);
  }
  if (std::strncmp(argv0, "../", 3) == 0 || std::strchr(argv0, '/') != nullptr) {
    copy_bounded(buf, argv0);
    return make_absolute(buf);
  }
  const char* path = std::getenv("PATH");
  char element[exec_path_bytes];
  while (path != nullptr) {
    path = getPathElement(path, element);
    if (element[0] == '\0') continue;
    char candidate[2 * exec_path_bytes + 2];
    std::snprintf(candidate, sizeof candidate, "%s/%s", element, argv0);
    if (access(candidate, X_OK) != 0) continue;
    const std::int32_t mode = get_file_mode(candidate);
    if (mode != -1 && S_ISDIR(static_cast<mode_t>(mode))) continue;
    copy_bounded(buf, candidate);
    if (buf[0] == '/') return 0;
    return make_absolute(buf);
  }
  buf[0] = '\0';
  return -1;
}

void resolve_symlink(char* fullpath) {
  char target[exec_path_bytes];
  const ssize_t n = readlink(fullpath, target, sizeof target - 1);
  if (n <= 0) return;
  target[n] = '\0';
  char* slash = std::strrchr(fullpath, '/');
  if (target[0] == '/' || slash == nullptr) {
    copy_bounded(fullpath, target);
    return;
  }
  const std::size_t dir_len = static_cast<std::size_t>(slash - fullpath) + 1;
  const std::size_t room = exec_path_bytes - 1 - dir_len;
  const std::size_t len = std::strlen(target) < room ? std::strlen(target) : room;
  std::memcpy(fullpath + dir_len, target, len);
  fullpath[dir_len + len] = '\0';
}

std::string data_directory(const char* argv0) {
  char buf[exec_path_bytes];
  GetExecName(argv0, buf);
  resolve_symlink(buf);
  std::string path(buf);
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return "./BACKWARD/";
  return path.substr(0, slash + 1) + "BACKWARD/";
}

void showtime() {
  const std::time_t now = std::time(nullptr);
  std::printf("%s", std::ctime(&now));
}

}  // namespace tavrin
