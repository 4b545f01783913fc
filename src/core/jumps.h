// The places a computation can be abandoned to. Each is an exception type
// thrown only by error() (or the routine that owns the target) and caught
// only where the target lives. Guards restore every temporary change on the
// way out, so whatever is unwound leaves the user's values intact.
#pragma once

namespace tavrin {

// Back to the top of the command loop: the statement under way is abandoned.
struct TopLevelJump {};

// The "&q" command: the program ends after " bye".
struct QuitJump {};

}  // namespace tavrin
