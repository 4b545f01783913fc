// Scalar variables: the table sca_store (151 buckets, toplevel/state.h) of
// varnode records, and the lookups by name.
//
// A name's bucket is its token's `address` when that is not -1, else
// hash(name, 151); names compare exactly (case matters). New variables are
// pushed at the head of their bucket, so a lookup meets the newest first
// (a parameter binding hides a global of the same name). A variable's value
// cell is its `val` field, never nil; the value is owned by the variable.
// Removed records go on the free list var_garb and are reused.
#pragma once

#include <cstdint>

#include "core/records.h"
#include "toplevel/language_services.h"  // insert_var (called by the input statement)
#include "toplevel/scanner.h"

namespace tavrin {

extern varptr var_garb;  // free varnode records, through next

// A record for the variable `let` holding value (taken over), qp and next
// nil, taken from var_garb or the heap; not yet in any bucket.
varptr new_var_record(const tokentipe& let, quoly value);
// Frees v's value and puts the record (out of its bucket) on var_garb.
void free_var_record(varptr v);
// The bucket of sca_store for the name of token x.
std::int32_t var_bucket(const tokentipe* x);

// The variable named x gets the value num (taken over, not copied): an
// existing one has its old value freed, else a new record is pushed at the
// head of its bucket (qp nil). *q := the record. A number num has its
// array-argument mark cleared.
// insert_var(x, num, q): declared in toplevel/language_services.h.

// The variable named x, or nil.
varptr find_var(const tokentipe* x);

// *qp := the value cell of the variable named x, or nil when there is none.
// A variable standing for an array argument prints its two warnings and
// gives the number 0 in *n, with *qp := n. The names "for", "if" and "while"
// run that statement (error 225 in stored text).
void retrieve(const tokentipe* x, quolyptr* qp, quolyptr n, textptr inf, nameptr* flag);
// The floating-mode lookup: *qp := the value cell of the variable named x,
// nil when there is none; a value that is not a number (numb clear) is
// error 227 with the name, *qp then unchanged.
void iretrieve(const tokentipe* x, quolyptr* qp);
// *n := a copy of the value of the variable named x (quoly_assign) and
// *qp := its cell; an array-parameter marker
// gives 0 with the two warnings "Warning. %s is an array parameter." and
// "  Value 0 used for %s.". No such variable: *n := 0, then error 19 with
// the name (*qp unchanged).
void spec_retrieve(const tokentipe* x, quolyptr n, quolyptr* qp);

// After "%": reads "[" index "]" (modular mode off for the index) and sets
// *m to the index minus `addresser`; *n receives the index value (the
// caller frees it). The "]" stays current. Errors 217, 218, 219, 221.
void get_arr_arr(textptr inf, quolyptr n, nameptr* flag, std::int32_t* m);

// The array the token x names: "<" the system array (result 0, nothing
// read); "%" followed by "[" index "]" (read with modular arithmetic off;
// "]" stays current) a numbered array (its start; an empty slot is error
// 220 and -1); any other name the newest user array of that name (its
// start, or nil and -1), the bucket cached in x. *q := the record. Errors
// 217, 218, 219, 221 of the index.
std::int32_t fasterlookup(tokentipe* x, arrptr* q, textptr inf, nameptr* flag);

}  // namespace tavrin
