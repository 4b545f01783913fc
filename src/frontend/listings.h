// The listings of what Tavrin holds: "&v;" (variables with their values,
// then the arrays' declarations), "&v:" (names only), the settings report
// "&g", and the name sort they share with the saved state and the listing
// of functions. The sort table is sortp (state.h), entries from index 1,
// at most sort_entries names; beyond that the listings walk the hash
// tables unsorted, silently.
#pragma once

#include <cstdint>
#include <cstdio>

#include "core/records.h"

namespace tavrin {

// Sorts entries 1 .. size of q by name, compared as unsigned bytes (a
// prefix first). Not stable: entries of equal names come out in the order
// the partitions leave them.
void sort_vars(sortrec* q, std::int32_t size);

// The sort key of the k-th entry (k from 1) of a hash chain: the name with
// the character of code 32 + k appended (a name of full length has its
// last character replaced), so that entries of one name keep their chain
// order.
void chain_key(nametype key, const tokentipe& name, std::int32_t k);

// Writes every scalar variable, sorted by name: " name := value" (the
// value's complete display at the terminal; in a file the value with ";",
// "&_n " before a polynomial or rational function) or, without values
// (outf_is_tty and not mynoisy), " name". At most ten variables of one name
// are written; the terminal is told how many more there are. Variables that
// stand for array arguments are listed at the terminal only.
// reads: sca_store, uglyprint, monomial_list, the mode flags
void dump(std::FILE* outf, bool outf_is_tty, bool mynoisy);

// "&v;" (wantvalues) or "&v:": the variables, then "arrays:" and every
// array's declaration, sorted by name.
void listvars(bool wantvalues);

// "&g": the settings report on standard output, one line a setting.
void global_dump();

// The adjoined variables from the first adjoined up: in a file (saveflag)
// as the "&(J = name);" and "&(P = relation, 1 : primes : pairs);"
// statements that adjoin them again; at the terminal as the listing of the
// settings report.
void polylist(std::FILE* outt, bool saveflag);

}  // namespace tavrin
