// The impl-includes check's allow-list holds this include of a header
// private to numbers/, so it may not be named.
#include "numbers/ntt_impl.h"
