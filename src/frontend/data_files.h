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
//   "checksums": one line per file above, its name, its size in bytes and
//                its FNV-1a 64-bit checksum (hexadecimal), written by the
//                generator of data/.
// Every file is checked before it is read (present, readable, of the size
// and checksum listed), and while it is read (counts, ranges, the last
// prime of each table, the order of the built-ins). A file that fails is
// not used, and start-up goes on: "*** Tavrin error. can't find chdat."
// (each file its own text) for one that cannot be read, a message saying
// it is damaged for another; after them a line that the tables are not
// used and how to rebuild the data files. Its state (data_file_faults,
// globals.h) makes whatever would read its tables report the file instead
// (need_data_file) or take a route without them: without "Qerrs" there
// are no built-ins and error reports give their codes; without "chdat" the
// rows of the characteristic polynomial are computed; without "pow228"
// decimal output takes the word route.
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
