// A planted fault for the impl-includes check: dense/ includes a header
// private to numbers/, which no list allows.
#include "numbers/ntt_impl.h"
