// Reading the start-up data files of the data directory into the numeric
// tables of globals.h.
//
// Files are plain text of decimal integers separated by white space; a
// multi-limb number is a limb count followed by its limbs, most significant
// first. Formats:
//   "pow228":    two_28: for each of the 130 powers a decimal digit count c,
//                then ceil(c / 8) base-10^8 digit groups; factnum: 22 values;
//                facts: 22 numbers in base 2^28; binom: 1,900 entries, each
//                its base-2^28 limbs at the row's current width (1 at the
//                start of each of the 50 rows; a negative value in place of
//                an entry's first limb widens this and the following entries
//                of the row by one limb, the real first limb following it);
//                then 80 plain values: lint and flote of binom[1..80].
//   "primelist": 1,229 small primes, then 2,466 medium primes.
//   "pprods":    599 primes (prime[6..604]), then the 599 products num_prod.
//   "bprimes":   1,516 primes.   "lrgpmes": 2,000 primes.
//   "f256d", "f2t16d": opened and kept open, never read.
// A file that cannot be opened prints "*** Tavrin error. can't find ..." and
// start-up goes on without it; a sentinel that fails prints its "damaged"
// message and start-up goes on with what was read. A value that cannot be
// read, or a limb out of range, ends the reading of that file (what follows
// stays 0), so the sentinels report it.
#pragma once

#include <string>

namespace tavrin {

// The first half of initialize: reads "pow228" (two_28, factnum, facts,
// binom; the file stays open for initialize), opens "pprods" (kept open),
// "primelist", "bprimes", "f256d", "f2t16d" and "lrgpmes", and reads the
// primes of "primelist", "bprimes" and "lrgpmes".
// includepath: the data directory, ending in "/"; every file name is appended.
void subinitialize(const std::string& includepath);

// Allocates the shared dense arrays (allocate_dense_arrays), then
// subinitialize, then: prime[1..5] (built in) and prime[6..604] from
// "pprods", invs_prod, num_prod, the plain values of binom[1..80] from
// "pow228", and global_list. Both files are closed. Called once at start-up.
void initialize(const std::string& includepath);

}  // namespace tavrin
