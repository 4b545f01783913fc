// Planted for the function-length check, run here with a limit of 20 lines:
// long_by_one runs 21 lines from its template line to its closing brace
// (blank lines count) and must be named with that count; the braces of its
// lambda, strings, characters and comments are its own.
// The others are at most 20 lines (at_the_limit has 20) or no functions (a
// constructor's braced initializers, a table, a class), so none may be
// named.
#include <cstdint>

namespace planted {

struct Counter {
  explicit Counter(int n) : total_{n}, step_(1) {}
  int next() { return total_ += step_; }
  int total_, step_;
};

const char* const brace_table[][2] = {{"{", "}"}, {"{{", "}}"}};

template <class T>
T long_by_one(T x) {
  auto twice = [](T y) { return y + y; };  // }
  const char* text = "}}";
  const char open = '{';
  x += twice(x) + text[0] + open;













  return x;
}

int at_the_limit(int x) {

















  return x;
}

}  // namespace planted
