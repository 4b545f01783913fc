// The built-ins by name. bi::Isprime is the index of "Isprime" in the
// table of built-in names (builtins.h), which start-up reads from the data
// file of messages. builtin_table holds one row a built-in, in index order:
// its index, its name and the routine whose switch on the index holds its
// body. A test checks the names against the data file; the compiler checks
// that each row stands at its index.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tavrin {

namespace bi {

// The index of each built-in, ten a line; count is their number.
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

}  // namespace bi

// Where a built-in's body is: the routine whose switch on the index holds it.
enum class BuiltinBody : std::uint8_t {
  operator_form,  // none of its own: evaluated as the operator it names
                  // (lang/factors.cpp)
  first,          // builtin_func1 (arrays/builtin_dispatch.cpp)
  scalar,         // scalar_builtin (arrays/scalar_builtins.cpp); the numeric
                  // coefficients go on to numeric_coef there
  second,         // builtin_func2 (arrays/second_builtins.cpp)
  matrix,         // dispatch (matlang/matrix_builtins.cpp); changes_operand and
                  // normal_form there say which change their operand in place
                  // and which are normal forms
  array_statement,  // an array statement and a factor of array expressions
                    // (arr_parse, arr_fact in matlang/); as a scalar
                    // function: not_implemented()
};

struct BuiltinEntry {
  std::int32_t index;
  const char* name;
  BuiltinBody body;
};

// Every built-in, by index.
constexpr std::array<BuiltinEntry, bi::count> builtin_table = {{
    {bi::Array,     "Array",     BuiltinBody::first},
    {bi::Binomial,  "Binomial",  BuiltinBody::operator_form},
    {bi::Bint,      "Bint",      BuiltinBody::scalar},
    {bi::Chpoly,    "Chpoly",    BuiltinBody::matrix},
    {bi::Codeg,     "Codeg",     BuiltinBody::operator_form},
    {bi::Coef,      "Coef",      BuiltinBody::operator_form},
    {bi::Colreduce, "Colreduce", BuiltinBody::matrix},
    {bi::Cols,      "Cols",      BuiltinBody::operator_form},
    {bi::Content,   "Content",   BuiltinBody::scalar},
    {bi::Deg,       "Deg",       BuiltinBody::operator_form},
    {bi::Denom,     "Denom",     BuiltinBody::scalar},
    {bi::Deriv,     "Deriv",     BuiltinBody::scalar},
    {bi::Det,       "Det",       BuiltinBody::operator_form},
    {bi::Dexmin,    "Dexmin",    BuiltinBody::first},
    {bi::Diag,      "Diag",      BuiltinBody::operator_form},
    {bi::Div,       "Div",       BuiltinBody::scalar},
    {bi::EGCD,      "EGCD",      BuiltinBody::scalar},
    {bi::Equal,     "Equal",     BuiltinBody::scalar},
    {bi::Equalneg,  "Equalneg",  BuiltinBody::scalar},
    {bi::FFLU,      "FFLU",      BuiltinBody::matrix},
    {bi::FFLUC,     "FFLUC",     BuiltinBody::matrix},
    {bi::Factor,    "Factor",    BuiltinBody::scalar},
    {bi::Fetch,     "Fetch",     BuiltinBody::scalar},
    {bi::Fieldlc,   "Fieldlc",   BuiltinBody::scalar},
    {bi::Func,      "Func",      BuiltinBody::first},
    {bi::Function,  "Function",  BuiltinBody::first},
    {bi::GCD,       "GCD",       BuiltinBody::scalar},
    {bi::Hamilton,  "Hamilton",  BuiltinBody::first},
    {bi::Height,    "Height",    BuiltinBody::scalar},
    {bi::Hermite,   "Hermite",   BuiltinBody::matrix},
    {bi::Irred,     "Irred",     BuiltinBody::scalar},
    {bi::Isprime,   "Isprime",   BuiltinBody::scalar},
    {bi::Iszero,    "Iszero",    BuiltinBody::matrix},
    {bi::Killden,   "Killden",   BuiltinBody::scalar},
    {bi::LCM,       "LCM",       BuiltinBody::matrix},
    {bi::Lcoef,     "Lcoef",     BuiltinBody::scalar},
    {bi::Level,     "Level",     BuiltinBody::scalar},
    {bi::Lmon,      "Lmon",      BuiltinBody::scalar},
    {bi::Longest,   "Longest",   BuiltinBody::scalar},
    {bi::Lower,     "Lower",     BuiltinBody::scalar},
    {bi::Lterm,     "Lterm",     BuiltinBody::operator_form},
    {bi::MPowermod, "MPowermod", BuiltinBody::array_statement},
    {bi::MSmith,    "MSmith",    BuiltinBody::matrix},
    {bi::Mcoef,     "Mcoef",     BuiltinBody::second},
    {bi::Mdiv,      "Mdiv",      BuiltinBody::second},
    {bi::Minors,    "Minors",    BuiltinBody::matrix},
    {bi::Minpoly,   "Minpoly",   BuiltinBody::second},
    {bi::Modmode,   "Modmode",   BuiltinBody::second},
    {bi::Modulus,   "Modulus",   BuiltinBody::second},
    {bi::Monless,   "Monless",   BuiltinBody::scalar},
    {bi::Monomials, "Monomials", BuiltinBody::second},
    {bi::Move,      "Move",      BuiltinBody::second},
    {bi::Nlcoef,    "Nlcoef",    BuiltinBody::scalar},
    {bi::Nmcoef,    "Nmcoef",    BuiltinBody::scalar},
    {bi::Normalize, "Normalize", BuiltinBody::matrix},
    {bi::Ntcoef,    "Ntcoef",    BuiltinBody::scalar},
    {bi::Number,    "Number",    BuiltinBody::second},
    {bi::Numcont,   "Numcont",   BuiltinBody::second},
    {bi::Numer,     "Numer",     BuiltinBody::scalar},
    {bi::Numvars,   "Numvars",   BuiltinBody::second},
    {bi::Pdiv,      "Pdiv",      BuiltinBody::scalar},
    {bi::Pfrob,     "Pfrob",     BuiltinBody::second},
    {bi::Pint,      "Pint",      BuiltinBody::scalar},
    {bi::Poly,      "Poly",      BuiltinBody::matrix},
    {bi::Powermod,  "Powermod",  BuiltinBody::second},
    {bi::Prime,     "Prime",     BuiltinBody::second},
    {bi::Product,   "Product",   BuiltinBody::operator_form},
    {bi::Pseudet,   "Pseudet",   BuiltinBody::matrix},
    {bi::RRand,     "RRand",     BuiltinBody::operator_form},
    {bi::Raise,     "Raise",     BuiltinBody::scalar},
    {bi::Rand,      "Rand",      BuiltinBody::operator_form},
    {bi::Rational,  "Rational",  BuiltinBody::scalar},
    {bi::Recoef,    "Recoef",    BuiltinBody::second},
    {bi::Redrowech, "Redrowech", BuiltinBody::matrix},
    {bi::Rem,       "Rem",       BuiltinBody::second},
    {bi::Return,    "Return",    BuiltinBody::second},
    {bi::Reverse,   "Reverse",   BuiltinBody::matrix},
    {bi::Rlabel,    "Rlabel",    BuiltinBody::second},
    {bi::Rowreduce, "Rowreduce", BuiltinBody::matrix},
    {bi::SDet,      "SDet",      BuiltinBody::operator_form},
    {bi::SDivide,   "SDivide",   BuiltinBody::scalar},
    {bi::STrans,    "STrans",    BuiltinBody::matrix},
    {bi::Sigma,     "Sigma",     BuiltinBody::operator_form},
    {bi::Smith,     "Smith",     BuiltinBody::matrix},
    {bi::Sort,      "Sort",      BuiltinBody::matrix},
    {bi::Sparse,    "Sparse",    BuiltinBody::second},
    {bi::Splice,    "Splice",    BuiltinBody::scalar},
    {bi::Split,     "Split",     BuiltinBody::scalar},
    {bi::Sqfree,    "Sqfree",    BuiltinBody::scalar},
    {bi::Sqrt,      "Sqrt",      BuiltinBody::operator_form},
    {bi::Sum,       "Sum",       BuiltinBody::second},
    {bi::Swap,      "Swap",      BuiltinBody::second},
    {bi::Swapcol,   "Swapcol",   BuiltinBody::second},
    {bi::Swaprow,   "Swaprow",   BuiltinBody::second},
    {bi::Synth,     "Synth",     BuiltinBody::matrix},
    {bi::Terms,     "Terms",     BuiltinBody::second},
    {bi::Termsall,  "Termsall",  BuiltinBody::second},
    {bi::Time,      "Time",      BuiltinBody::second},
    {bi::Tone,      "Tone",      BuiltinBody::second},
    {bi::Totdeg,    "Totdeg",    BuiltinBody::second},
    {bi::Trace,     "Trace",     BuiltinBody::second},
    {bi::Trans,     "Trans",     BuiltinBody::operator_form},
    {bi::True,      "True",      BuiltinBody::second},
    {bi::Var,       "Var",       BuiltinBody::operator_form},
    {bi::Vars,      "Vars",      BuiltinBody::second},
    {bi::Wipe,      "Wipe",      BuiltinBody::second},
    {bi::ZZ1,       "ZZ1",       BuiltinBody::second},
    {bi::ZZ2,       "ZZ2",       BuiltinBody::second},
    {bi::ZZ3,       "ZZ3",       BuiltinBody::second},
    {bi::Zcoef,     "Zcoef",     BuiltinBody::scalar},
}};

static_assert([] {
  for (std::size_t i = 0; i < builtin_table.size(); ++i)
    if (builtin_table[i].index != static_cast<std::int32_t>(i)) return false;
  return true;
}(), "builtin_table: a row stands away from its index");

// The name of each built-in, by index.
constexpr std::array<const char*, bi::count> builtin_names = [] {
  std::array<const char*, bi::count> names{};
  for (std::size_t i = 0; i < names.size(); ++i) names[i] = builtin_table[i].name;
  return names;
}();

}  // namespace tavrin
