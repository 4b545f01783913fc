// The places a computation can be abandoned to. Each is an exception type
// thrown only by error() (or the routine that owns the target) and caught
// only where the target lives. Guards restore every temporary change on the
// way out, so whatever is unwound leaves the user's values intact.
#pragma once

#include <cstdint>

namespace tavrin {

// Back to the top of the command loop: the statement under way is abandoned.
struct TopLevelJump {};

// Back to the prompt of nested command level `level` (2 or more): the
// statement under way there is abandoned; the computation suspended below
// that level stays as it is. Caught only by the loop of that level, which
// rethrows a jump meant for another.
struct LevelJump {
  std::int32_t level;
};

// The "&q" command: the program ends after " bye".
struct QuitJump {};

}  // namespace tavrin
