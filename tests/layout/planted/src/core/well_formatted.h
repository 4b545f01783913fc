// Laid out as the formatter would, with a fenced table it leaves alone: the
// check may not name this file.
#pragma once

// clang-format off
inline constexpr int aligned_table[] = {
    1,   20,  300,
    4000, 5,  60,
};
// clang-format on
inline constexpr int well_spaced = 1;
