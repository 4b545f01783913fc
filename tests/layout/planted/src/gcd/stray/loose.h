// A planted fault for the include-order check: a subfolder of the GCD folder
// that is no listed room, and an include naming it. The check must name both.
#pragma once

#include "gcd/stray/loose_impl.h"
