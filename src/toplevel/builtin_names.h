// The built-ins by name. bi::Isprime is the index of "Isprime" in the
// table of built-in names (builtins.h), which start-up reads from the data
// file of messages. builtin_name_rows holds one row a built-in, in index
// order: its index and its name; builtin_table adds the handler that
// answers it. A test checks the names against the data file and that every
// row has exactly one handler; the compiler checks that each row stands at
// its index.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace tavrin {

namespace bi {

// The index of each built-in, ten a line; count is their number.
// clang-format off
enum : std::int32_t {
  Array, Binomial, Bint, Chpoly, Codeg, Coef, Colreduce, Cols, Content, Deg,            // 0-9
  Denom, Deriv, Det, Dexmin, Diag, Div, EGCD, Equal, Equalneg, FFLU,                    // 10-19
  FFLUC, Factor, Fetch, Fieldlc, Func, Function, GCD, Hamilton, Height, Hermite,        // 20-29
  Irred, Isprime, Iszero, Killden, LCM, Lcoef, Level, Lmon, Longest, Lower,             // 30-39
  Lterm, MPowermod, MSmith, Mcoef, Mdiv, Minors, Minpoly, Modmode, Modulus, Monless,    // 40-49
  Monomials, Move, Nlcoef, Nmcoef, Normalize, Ntcoef, Number, Numcont, Numer, Numvars,  // 50-59
  Pdiv, Pfrob, Pint, Poly, Powermod, Prime, Product, Pseudet, RRand, Raise,             // 60-69
  Rand, Rational, Recoef, Redrowech, Rem, Return, Reverse, Rlabel, Rowreduce, SDet,     // 70-79
  SDivide, STrans, Sigma, Smith, Sort, Sparse, Splice, Split, Sqfree, Sqrt,             // 80-89
  Sum, Swap, Swapcol, Swaprow, Synth, Terms, Termsall, Time, Tone, Totdeg,              // 90-99
  Trace, Trans, True, Var, Vars, Wipe, ZZ1, ZZ2, ZZ3, Zcoef,                            // 100-109
  count
};
// clang-format on

}  // namespace bi

struct builtin_func1_EnvRec;  // lang/builtins/builtin_env.h

// The body of a built-in: reads the arguments through env, the built-in's
// name current, and answers into env->n. index: the row it runs for, which
// a body shared by several built-ins reads.
using builtin_handler = void (*)(builtin_func1_EnvRec* env, std::int32_t index);

struct BuiltinName {
  std::int32_t index;
  const char* name;
};

// Every built-in's name, by index.
// clang-format off
constexpr std::array<BuiltinName, bi::count> builtin_name_rows = {{
    {bi::Array,     "Array"},
    {bi::Binomial,  "Binomial"},
    {bi::Bint,      "Bint"},
    {bi::Chpoly,    "Chpoly"},
    {bi::Codeg,     "Codeg"},
    {bi::Coef,      "Coef"},
    {bi::Colreduce, "Colreduce"},
    {bi::Cols,      "Cols"},
    {bi::Content,   "Content"},
    {bi::Deg,       "Deg"},
    {bi::Denom,     "Denom"},
    {bi::Deriv,     "Deriv"},
    {bi::Det,       "Det"},
    {bi::Dexmin,    "Dexmin"},
    {bi::Diag,      "Diag"},
    {bi::Div,       "Div"},
    {bi::EGCD,      "EGCD"},
    {bi::Equal,     "Equal"},
    {bi::Equalneg,  "Equalneg"},
    {bi::FFLU,      "FFLU"},
    {bi::FFLUC,     "FFLUC"},
    {bi::Factor,    "Factor"},
    {bi::Fetch,     "Fetch"},
    {bi::Fieldlc,   "Fieldlc"},
    {bi::Func,      "Func"},
    {bi::Function,  "Function"},
    {bi::GCD,       "GCD"},
    {bi::Hamilton,  "Hamilton"},
    {bi::Height,    "Height"},
    {bi::Hermite,   "Hermite"},
    {bi::Irred,     "Irred"},
    {bi::Isprime,   "Isprime"},
    {bi::Iszero,    "Iszero"},
    {bi::Killden,   "Killden"},
    {bi::LCM,       "LCM"},
    {bi::Lcoef,     "Lcoef"},
    {bi::Level,     "Level"},
    {bi::Lmon,      "Lmon"},
    {bi::Longest,   "Longest"},
    {bi::Lower,     "Lower"},
    {bi::Lterm,     "Lterm"},
    {bi::MPowermod, "MPowermod"},
    {bi::MSmith,    "MSmith"},
    {bi::Mcoef,     "Mcoef"},
    {bi::Mdiv,      "Mdiv"},
    {bi::Minors,    "Minors"},
    {bi::Minpoly,   "Minpoly"},
    {bi::Modmode,   "Modmode"},
    {bi::Modulus,   "Modulus"},
    {bi::Monless,   "Monless"},
    {bi::Monomials, "Monomials"},
    {bi::Move,      "Move"},
    {bi::Nlcoef,    "Nlcoef"},
    {bi::Nmcoef,    "Nmcoef"},
    {bi::Normalize, "Normalize"},
    {bi::Ntcoef,    "Ntcoef"},
    {bi::Number,    "Number"},
    {bi::Numcont,   "Numcont"},
    {bi::Numer,     "Numer"},
    {bi::Numvars,   "Numvars"},
    {bi::Pdiv,      "Pdiv"},
    {bi::Pfrob,     "Pfrob"},
    {bi::Pint,      "Pint"},
    {bi::Poly,      "Poly"},
    {bi::Powermod,  "Powermod"},
    {bi::Prime,     "Prime"},
    {bi::Product,   "Product"},
    {bi::Pseudet,   "Pseudet"},
    {bi::RRand,     "RRand"},
    {bi::Raise,     "Raise"},
    {bi::Rand,      "Rand"},
    {bi::Rational,  "Rational"},
    {bi::Recoef,    "Recoef"},
    {bi::Redrowech, "Redrowech"},
    {bi::Rem,       "Rem"},
    {bi::Return,    "Return"},
    {bi::Reverse,   "Reverse"},
    {bi::Rlabel,    "Rlabel"},
    {bi::Rowreduce, "Rowreduce"},
    {bi::SDet,      "SDet"},
    {bi::SDivide,   "SDivide"},
    {bi::STrans,    "STrans"},
    {bi::Sigma,     "Sigma"},
    {bi::Smith,     "Smith"},
    {bi::Sort,      "Sort"},
    {bi::Sparse,    "Sparse"},
    {bi::Splice,    "Splice"},
    {bi::Split,     "Split"},
    {bi::Sqfree,    "Sqfree"},
    {bi::Sqrt,      "Sqrt"},
    {bi::Sum,       "Sum"},
    {bi::Swap,      "Swap"},
    {bi::Swapcol,   "Swapcol"},
    {bi::Swaprow,   "Swaprow"},
    {bi::Synth,     "Synth"},
    {bi::Terms,     "Terms"},
    {bi::Termsall,  "Termsall"},
    {bi::Time,      "Time"},
    {bi::Tone,      "Tone"},
    {bi::Totdeg,    "Totdeg"},
    {bi::Trace,     "Trace"},
    {bi::Trans,     "Trans"},
    {bi::True,      "True"},
    {bi::Var,       "Var"},
    {bi::Vars,      "Vars"},
    {bi::Wipe,      "Wipe"},
    {bi::ZZ1,       "ZZ1"},
    {bi::ZZ2,       "ZZ2"},
    {bi::ZZ3,       "ZZ3"},
    {bi::Zcoef,     "Zcoef"},
}};
// clang-format on

static_assert(
    [] {
      for (std::size_t i = 0; i < builtin_name_rows.size(); ++i)
        if (builtin_name_rows[i].index != static_cast<std::int32_t>(i)) return false;
      return true;
    }(),
    "builtin_name_rows: a row stands away from its index");

// A row of the built-in table: the index, the name and the handler that
// answers it. The handlers live above this folder: the owner of each body
// registers its rows at start-up (register_builtins), after which every row
// has one, except the operator forms, which the row of their operator token
// answers (lang/operator_aliases.h) and which have none of their own.
struct BuiltinEntry {
  std::int32_t index;
  const char* name;
  builtin_handler handler;     // nil until registered
  std::int32_t registrations;  // how many registered rows named this one
};

// Every built-in, by index. Read by the factor readers' builtin_func;
// written only by register_builtins.
extern std::array<BuiltinEntry, bi::count> builtin_table;

// One row of an owner's list: the built-in and its handler.
struct BuiltinRegistration {
  std::int32_t index;
  builtin_handler handler;
};

// Gives each row of rows's indices its handler and counts the registration
// in the row. A list registered before is skipped whole, so start-up may
// run again; a row that two lists, or one list twice, name counts both,
// which the test of the table reports.
void register_builtins(std::span<const BuiltinRegistration> rows);

// The name of each built-in, by index.
constexpr std::array<const char*, bi::count> builtin_names = [] {
  std::array<const char*, bi::count> names{};
  for (std::size_t i = 0; i < names.size(); ++i) names[i] = builtin_name_rows[i].name;
  return names;
}();

}  // namespace tavrin
