// Locating the program's own executable, and hence its data directory.
#pragma once

#include <cstdint>
#include <string>

namespace tavrin {

// Paths of any length: no buffer cuts them.

// *buf := a path of the executable named by argv0. Returns 0 for an
// absolute path found directly, 2 for a relative one made absolute through
// the current directory and resolved to a real path, 1 when it was made
// absolute but cannot be resolved, -1 when nothing was found (*buf is then
// empty). Reads PATH.
std::int32_t GetExecName(const char* argv0, std::string* buf);

// *element := the first element of the colon-separated list `path`; returns
// the position after the colon, or nil when the list ends with this
// element.
const char* getPathElement(const char* path, std::string* element);

// The file's mode bits, or -1 when its status cannot be read.
std::int32_t get_file_mode(const char* path);

// When *fullpath is a symbolic link, replaces it by the link's target, one
// level (a relative target replaces the part after the last "/").
void resolve_symlink(std::string* fullpath);

// The data directory for the program started as argv0: the executable's
// directory (up to and including its last "/") followed by "BACKWARD/";
// "./BACKWARD/" when the path has no "/".
std::string data_directory(const char* argv0);

// Writes the local date and time in the 24-character calendar form and a
// line end to standard output.
void showtime();

}  // namespace tavrin
