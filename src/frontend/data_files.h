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
//   "Qerrs":     377 lines, line x the message of error code x (its first
//                65 characters are kept, the line end included when the line
//                is shorter); then numbuiltins and the name pairs of the
//                built-in table (builtins.h).
//   "chdat":     the Lagrange basis polynomials of the characteristic
//                polynomial (chdat.h); stays open for the whole run.
// A file that cannot be opened prints "*** Tavrin error. can't find ..." and
// start-up goes on without it (its tables stay empty: no message texts, no
// built-ins, empty rows of pol); a sentinel that fails prints its "damaged"
// message and start-up goes on with what was read. A value that cannot be
// read, or a limb out of range, ends the reading of that file (what follows
// stays 0), so the sentinels report it.
#pragma once

#include <string>

namespace tavrin {

// The first half of initialize, in this order: the first start values
// (start_tables.h) and the character sets; pol emptied and the duplicate
// array's record; "chdat" opened; the message texts of "Qerrs"; the
// generic variables, the rings of call records and recent tokens, the
// symbol tables; "pow228" (two_28, factnum, facts, binom; the file stays
// open for initialize); the built-in names of "Qerrs"; 5001 limbs onto the
// free list and the store of numbered arrays; "pprods" opened (kept open),
// "primelist", "bprimes", "f256d", "f2t16d" and "lrgpmes", and the primes of
// "primelist", "bprimes" and "lrgpmes"; the sort tables.
// includepath: the data directory, ending in "/"; every file name is appended.
void subinitialize(const std::string& includepath);

// subinitialize, then: the second start values (disp_cons, poly_1, the
// system array and its cells, prevnum); prime[1..5] (built in) and
// prime[6..604] from "pprods", invs_prod, num_prod, the plain values of
// binom[1..80] from "pow228" (both files closed); 5001 polynomial nodes onto
// the free list; pol[0][0] := 1 and rows 1 .. 11 of pol from "chdat"; the
// work areas and global_list; the shared dense arrays. Called once at
// start-up.
void initialize(const std::string& includepath);

}  // namespace tavrin
