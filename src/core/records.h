// The records that every value of Tavrin is built from.
//
// Widths are fixed: the arithmetic on these fields is 32-bit (and 16-bit where
// noted) whatever the host, so every `long` of the design is std::int32_t.
//
// number: an arbitrary-size integer held three ways at once; which one is
//   meaningful is chosen by the global mode flags (see bigint.h):
//   - big integer: limbs `head`..`tail`, base 2^28, most significant first,
//     every limb carrying the sign of the number, |limb| < 2^28, no leading
//     zero limb (zero is one limb 0), `size` = number of limbs;
//   - word mode: `lint` (a residue 0 <= lint < modulus in modular mode);
//   - floating mode: `flote`.
//   `size` 0 means the header holds no limbs. `imag` only links free headers.
// polynode: a node of a recursive sparse polynomial (see poly/ for the
//   invariants): a term (`exp`, `pcoef`) or a number leaf (`numb`, `ncoef`).
// quolynode: the language's value: a number (`numb`, `ncoef`) or a rational
//   function `numer` / `denom` (denom nil meaning 1).
//
// Every record has a constructor new... and a free list (freelists.h); no
// other code touches the free lists.
#pragma once

#include <cstdint>

namespace tavrin {

using Boolean = bool;

// A token: a text of at most 10 characters with its terminating zero, and
// the cached hash bucket of the name (-1 for a plain token).
using nametype = char[11];
struct tokentipe {
  nametype name;
  std::int16_t address;
};

enum classtype : std::int32_t { zzero = 0, one = 1, two = 2, three = 3, four = 4, five = 5 };

struct numnode {
  std::int32_t value;  // one limb, |value| < 2^28, sign of its number
  numnode* next;       // next less significant limb; nil after the tail
};
using numptr = numnode*;
using numptrptr = numnode**;

// The fields of number and polynode are ordered for the host's alignment
// (48 and 24 bytes instead of 64 and 32): sums, products and their frees
// walk millions of these records, and the bytes moved decide their speed.
struct number {
  numnode* head;      // most significant limb
  numnode* tail;      // least significant limb
  long double flote;  // value in floating mode
  number* imag;       // list link only (free headers, gcd_data lists)
  std::int32_t lint;  // value in word mode
  std::int32_t size;  // number of limbs; 0 = no limbs (at most 32,767 limbs, but a
                      // base-10^8 list of the longest numbers has up to 34,524)
};
using imptr = number*;
using imptrptr = number**;

struct polynode {
  std::int32_t exp;
  Boolean numb;  // set: a number leaf (ncoef); clear: a term (pcoef)
  polynode* next;
  union {
    number* ncoef;
    polynode* pcoef;
  };
};
using poly = polynode*;

struct quolynode {
  quolynode* next;
  Boolean numb;  // set: a number (ncoef); clear: numer / denom
  // The cell stands for an array argument; read only of a number (numb). It
  // lies outside the union so that clearing it on any value is harmless.
  Boolean arr_arg;
  // The value was converted into a modular ring with journal entries: the
  // records of `masterfix` that the conversion made belong to it, and its
  // numbers keep their limbs beside their residues. Freeing it replays its
  // records first and gives its limbs back whatever the ring
  // (numbers/mod_journal.h).
  Boolean journalled;
  // The owner let the value go while readers held it: the last of them
  // frees it (numbers/value_holds.h).
  Boolean let_go;
  // Readers holding the value where it lies; while any does, the record is
  // neither freed nor changed in place.
  std::int32_t holds;
  union {
    struct {
      number* ncoef;
    };
    struct {
      polynode* numer;
      polynode* denom;  // nil means 1
      Boolean rat;      // numerator and denominator are integer constants
    };
  };
};
using quoly = quolynode*;
using quolyptr = quolynode**;

// One adjoined variable; the list `polynames` runs from the top variable down.
struct polydata {
  tokentipe let;
  std::int32_t polycut;
  std::int32_t expon;
  std::int32_t modls;
  poly p;  // relation when modded out (a leaf c means t^expon = c)
  poly alt;
  poly multdata;
  poly pwr;
  poly roots;
  Boolean field;
  std::int16_t depth;
  std::int16_t aux_num;
  number* gcd_data;  // numbers chained through `imag`
  polydata* next;
};
using polypt = polydata*;

struct quolynode;
struct comnode;  // a comment of a stored statement list
struct condnode;

struct namenode {
  tokentipe let;
  namenode* nother;  // next reference bound to the same table entry
  quolyptr qp;       // the value cell
  namenode* next;    // next node of the chain
  Boolean compiled;  // bound to table entries
  Boolean space;
  classtype tipe;  // one: plain name; two: element skipped to "]"; three: subscripts evaluated
};
using nameptr = namenode*;

struct colnode {
  std::int32_t coord;  // column number
  quoly val;
  colnode* next;
};
using colm_ptr = colnode*;
using colm_ptrptr = colnode**;

// One frame of 2048 row heads of a sparse matrix.
constexpr int sparse_frame_rows = 2048;
struct rowarray {
  colnode* indx[sparse_frame_rows];
  Boolean modmode;  // the entries are modular residues
  Boolean notdone;
  rowarray* next;
};
using sparseptr = rowarray*;

struct arrnode {
  tokentipe name;
  std::int32_t start, stop;  // range of its cells in the array store
  number sizearr;            // entry count, held inside the node
  std::int32_t rows;
  sparseptr spar;     // frames of a sparse array, nil when dense
  Boolean linear;     // declared with one subscript
  arrnode* next;      // hash-chain link
  arrnode* father;    // parent of a sub-array
  std::int32_t time;  // creation stamp
};
using arrptr = arrnode*;

struct col_pair {
  std::int32_t i, j;
  quoly f;
  col_pair* next;
};
using colptr = col_pair*;

struct formnode;
using formptr = formnode*;
using comptr = comnode*;

struct condnode {
  nameptr cond;   // token chain of the condition
  Boolean aloop;  // a loop
  formptr form1;  // then-part or loop body
  formptr form2;  // else-part
  nameptr expr;   // token chain of an expression
  condnode* next;
};
using condexptr = condnode*;

struct formnode {
  condexptr cptr;  // the statement
  comptr comms;    // the comments written before it, or nil
  formnode* next;
};

// One comment in braces of a stored statement list: its characters as a
// token chain (nil for an empty comment).
struct comnode {
  nameptr q;
  comnode* next;
};

// One parameter of a user function. `let` caches hash(name, 151).
struct paramnode {
  tokentipe let;
  nameptr nother;       // head of the chain of compiled tokens bound to it
  quolyptr qp;          // the value cell it is bound to during a call
  Boolean result;       // written with "^": passed by reference
  Boolean arry;         // the current argument is an array
  Boolean sparse;       // that array is sparse
  Boolean linked_arry;  // an array when its tokens were linked
  paramnode* next;
};
using paramptr = paramnode*;

// A user function, chained in its bucket of func_store (71 buckets).
struct funcnode {
  tokentipe name;     // its address holds the function's bucket
  paramptr pars;      // nil for a function without parameters
  formptr rht;        // the body
  formptr comp;       // the statements after "Compile", nil until linked
  Boolean do_params;  // parameters are bound into the compiled statements
  funcnode* next;     // next function of the same bucket
};
using funcptr = funcnode*;

// A scalar variable, chained in its bucket of sca_store (151 buckets).
struct varnode {
  tokentipe let;
  varnode* next;  // next variable of its bucket
  quolyptr qp;    // for a parameter passed by reference: the caller's cell
  quoly val;      // the value, never nil
};
using varptr = varnode*;

// One record of the ring of running user-function calls (lastf, statcount).
struct statnode {
  statnode* prev;
  funcptr f;  // the function being run
  statnode* next;
};
using statptr = statnode*;

// A large work array: up to 1,000,000 value cells holding a matrix flat in
// column order (entry (r, k) of an R-row matrix, from 0, in cell k*R + r).
constexpr int workarray_cells = 1000000;
struct workarray {
  quoly stash[workarray_cells];
};
using workptr = workarray*;

// One entry of the shared sort table of the listings.
struct sortrec {
  nametype name;  // the sort key
  std::int32_t count;
  varptr pt;
};

// One entry of the undo journal of temporary modular images.  `prev` is the
// changed cell: a poly cell (special zzero, five) or a value cell (one .. four).
struct fixdata {
  void* prev;
  poly node;          // the value to put back
  classtype special;  // the kind of undo
  void* owner;        // the stored value (quoly) or variable record (polypt)
                      // whose conversion made it, or nil
  fixdata* next;
};
using fixptr = fixdata*;

// An entry of a sparse array unlinked from its row by a journalled change
// of ground ring: the array is named with its creation stamp, so that the
// entry goes back only into that array, at its row and column, whatever
// happened to the array meanwhile.
struct sparse_fixdata {
  tokentipe array;    // the array's name
  std::int32_t time;  // its creation stamp
  std::int32_t row;   // from 1
  colm_ptr node;      // the entry (its coord the column)
  sparse_fixdata* next;
};
using sparse_fixer = sparse_fixdata*;

}  // namespace tavrin
