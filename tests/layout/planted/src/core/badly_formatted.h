// Spaced as the formatter never would: the check must name this file.
#pragma once

inline constexpr int  badly_spaced =1 ;
