// The built-ins by name. bi::Isprime is the index of "Isprime" in the
// table of built-in names (builtins.h), which start-up reads from the
// data file of messages; builtin_names lists the same names in the same
// order, and a test checks the two agree. Beside each name: the
// routines whose switches on the index hold its body, the dispatching
// one first.
#pragma once

#include <array>
#include <cstdint>

namespace tavrin {

namespace bi {

enum : std::int32_t {
  Array = 0,        // builtin_func1 (arrays/builtin_dispatch.cpp)
  Binomial = 1,     // evaluated as the operator it names
  Bint = 2,         // scalar_builtin (arrays/scalar_builtins.cpp)
  Chpoly = 3,       // dispatch (matrix/matrix_builtins.cpp)
  Codeg = 4,        // evaluated as the operator it names
  Coef = 5,         // evaluated as the operator it names
  Colreduce = 6,    // changes_operand, normal_form, dispatch (matrix/matrix_builtins.cpp)
  Cols = 7,         // evaluated as the operator it names
  Content = 8,      // scalar_builtin (arrays/scalar_builtins.cpp)
  Deg = 9,          // evaluated as the operator it names
  Denom = 10,       // scalar_builtin (arrays/scalar_builtins.cpp)
  Deriv = 11,       // scalar_builtin (arrays/scalar_builtins.cpp)
  Det = 12,         // evaluated as the operator it names
  Dexmin = 13,      // builtin_func1 (arrays/builtin_dispatch.cpp)
  Diag = 14,        // evaluated as the operator it names
  Div = 15,         // scalar_builtin (arrays/scalar_builtins.cpp)
  EGCD = 16,        // scalar_builtin (arrays/scalar_builtins.cpp)
  Equal = 17,       // scalar_builtin (arrays/scalar_builtins.cpp)
  Equalneg = 18,    // scalar_builtin (arrays/scalar_builtins.cpp)
  FFLU = 19,        // changes_operand, dispatch (matrix/matrix_builtins.cpp)
  FFLUC = 20,       // changes_operand, dispatch (matrix/matrix_builtins.cpp)
  Factor = 21,      // scalar_builtin (arrays/scalar_builtins.cpp)
  Fetch = 22,       // scalar_builtin (arrays/scalar_builtins.cpp)
  Fieldlc = 23,     // scalar_builtin, numeric_coef (arrays/scalar_builtins.cpp)
  Func = 24,        // builtin_func1 (arrays/builtin_dispatch.cpp)
  Function = 25,    // builtin_func1 (arrays/builtin_dispatch.cpp)
  GCD = 26,         // scalar_builtin (arrays/scalar_builtins.cpp)
  Hamilton = 27,    // builtin_func1 (arrays/builtin_dispatch.cpp)
  Height = 28,      // scalar_builtin (arrays/scalar_builtins.cpp)
  Hermite = 29,     // changes_operand, normal_form, dispatch (matrix/matrix_builtins.cpp)
  Irred = 30,       // scalar_builtin (arrays/scalar_builtins.cpp)
  Isprime = 31,     // scalar_builtin (arrays/scalar_builtins.cpp)
  Iszero = 32,      // dispatch (matrix/matrix_builtins.cpp)
  Killden = 33,     // scalar_builtin (arrays/scalar_builtins.cpp)
  LCM = 34,         // dispatch (matrix/matrix_builtins.cpp)
  Lcoef = 35,       // scalar_builtin (arrays/scalar_builtins.cpp)
  Level = 36,       // scalar_builtin (arrays/scalar_builtins.cpp)
  Lmon = 37,        // scalar_builtin (arrays/scalar_builtins.cpp)
  Longest = 38,     // scalar_builtin (arrays/scalar_builtins.cpp)
  Lower = 39,       // scalar_builtin (arrays/scalar_builtins.cpp)
  Lterm = 40,       // evaluated as the operator it names
  MPowermod = 41,   // no body yet: not_implemented()
  MSmith = 42,      // changes_operand, normal_form, dispatch (matrix/matrix_builtins.cpp)
  Mcoef = 43,       // builtin_func2 (arrays/second_builtins.cpp)
  Mdiv = 44,        // builtin_func2 (arrays/second_builtins.cpp)
  Minors = 45,      // dispatch (matrix/matrix_builtins.cpp)
  Minpoly = 46,     // builtin_func2 (arrays/second_builtins.cpp)
  Modmode = 47,     // builtin_func2 (arrays/second_builtins.cpp)
  Modulus = 48,     // builtin_func2 (arrays/second_builtins.cpp)
  Monless = 49,     // scalar_builtin (arrays/scalar_builtins.cpp)
  Monomials = 50,   // builtin_func2 (arrays/second_builtins.cpp)
  Move = 51,        // builtin_func2 (arrays/second_builtins.cpp)
  Nlcoef = 52,      // scalar_builtin, numeric_coef (arrays/scalar_builtins.cpp)
  Nmcoef = 53,      // scalar_builtin (arrays/scalar_builtins.cpp)
  Normalize = 54,   // changes_operand, normal_form, dispatch (matrix/matrix_builtins.cpp)
  Ntcoef = 55,      // scalar_builtin, numeric_coef (arrays/scalar_builtins.cpp)
  Number = 56,      // builtin_func2 (arrays/second_builtins.cpp)
  Numcont = 57,     // builtin_func2 (arrays/second_builtins.cpp)
  Numer = 58,       // scalar_builtin (arrays/scalar_builtins.cpp)
  Numvars = 59,     // builtin_func2 (arrays/second_builtins.cpp)
  Pdiv = 60,        // scalar_builtin (arrays/scalar_builtins.cpp)
  Pfrob = 61,       // builtin_func2 (arrays/second_builtins.cpp)
  Pint = 62,        // scalar_builtin (arrays/scalar_builtins.cpp)
  Poly = 63,        // dispatch (matrix/matrix_builtins.cpp)
  Powermod = 64,    // builtin_func2 (arrays/second_builtins.cpp)
  Prime = 65,       // builtin_func2 (arrays/second_builtins.cpp)
  Product = 66,     // evaluated as the operator it names
  Pseudet = 67,     // changes_operand, normal_form, dispatch (matrix/matrix_builtins.cpp)
  RRand = 68,       // evaluated as the operator it names
  Raise = 69,       // scalar_builtin (arrays/scalar_builtins.cpp)
  Rand = 70,        // evaluated as the operator it names
  Rational = 71,    // scalar_builtin (arrays/scalar_builtins.cpp)
  Recoef = 72,      // builtin_func2 (arrays/second_builtins.cpp)
  Redrowech = 73,   // changes_operand, normal_form, dispatch (matrix/matrix_builtins.cpp)
  Rem = 74,         // builtin_func2 (arrays/second_builtins.cpp)
  Return = 75,      // builtin_func2 (arrays/second_builtins.cpp)
  Reverse = 76,     // changes_operand, dispatch (matrix/matrix_builtins.cpp)
  Rlabel = 77,      // builtin_func2 (arrays/second_builtins.cpp)
  Rowreduce = 78,   // changes_operand, dispatch (matrix/matrix_builtins.cpp)
  SDet = 79,        // evaluated as the operator it names
  SDivide = 80,     // scalar_builtin (arrays/scalar_builtins.cpp)
  STrans = 81,      // changes_operand, dispatch (matrix/matrix_builtins.cpp)
  Sigma = 82,       // evaluated as the operator it names
  Smith = 83,       // changes_operand, normal_form, dispatch (matrix/matrix_builtins.cpp)
  Sort = 84,        // changes_operand, dispatch (matrix/matrix_builtins.cpp)
  Sparse = 85,      // builtin_func2 (arrays/second_builtins.cpp)
  Splice = 86,      // scalar_builtin (arrays/scalar_builtins.cpp)
  Split = 87,       // scalar_builtin (arrays/scalar_builtins.cpp)
  Sqfree = 88,      // scalar_builtin (arrays/scalar_builtins.cpp)
  Sqrt = 89,        // evaluated as the operator it names
  Sum = 90,         // builtin_func2 (arrays/second_builtins.cpp)
  Swap = 91,        // builtin_func2 (arrays/second_builtins.cpp)
  Swapcol = 92,     // builtin_func2 (arrays/second_builtins.cpp)
  Swaprow = 93,     // builtin_func2 (arrays/second_builtins.cpp)
  Synth = 94,       // changes_operand, dispatch (matrix/matrix_builtins.cpp)
  Terms = 95,       // builtin_func2 (arrays/second_builtins.cpp)
  Termsall = 96,    // builtin_func2 (arrays/second_builtins.cpp)
  Time = 97,        // builtin_func2 (arrays/second_builtins.cpp)
  Tone = 98,        // builtin_func2 (arrays/second_builtins.cpp)
  Totdeg = 99,      // builtin_func2 (arrays/second_builtins.cpp)
  Trace = 100,      // builtin_func2 (arrays/second_builtins.cpp)
  Trans = 101,      // evaluated as the operator it names
  True = 102,       // builtin_func2 (arrays/second_builtins.cpp)
  Var = 103,        // evaluated as the operator it names
  Vars = 104,       // builtin_func2 (arrays/second_builtins.cpp)
  Wipe = 105,       // builtin_func2 (arrays/second_builtins.cpp)
  ZZ1 = 106,        // builtin_func2 (arrays/second_builtins.cpp)
  ZZ2 = 107,        // builtin_func2 (arrays/second_builtins.cpp)
  ZZ3 = 108,        // builtin_func2 (arrays/second_builtins.cpp)
  Zcoef = 109,      // scalar_builtin (arrays/scalar_builtins.cpp)
};

// The number of built-ins.
constexpr std::int32_t count = 110;

}  // namespace bi

// The name of each built-in, by index.
constexpr std::array<const char*, bi::count> builtin_names = {
    "Array", "Binomial", "Bint", "Chpoly", "Codeg", "Coef", "Colreduce", "Cols", "Content", "Deg",
    "Denom", "Deriv", "Det", "Dexmin", "Diag", "Div", "EGCD", "Equal", "Equalneg", "FFLU",
    "FFLUC", "Factor", "Fetch", "Fieldlc", "Func", "Function", "GCD", "Hamilton", "Height",
    "Hermite", "Irred", "Isprime", "Iszero", "Killden", "LCM", "Lcoef", "Level", "Lmon",
    "Longest", "Lower", "Lterm", "MPowermod", "MSmith", "Mcoef", "Mdiv", "Minors", "Minpoly",
    "Modmode", "Modulus", "Monless", "Monomials", "Move", "Nlcoef", "Nmcoef", "Normalize",
    "Ntcoef", "Number", "Numcont", "Numer", "Numvars", "Pdiv", "Pfrob", "Pint", "Poly",
    "Powermod", "Prime", "Product", "Pseudet", "RRand", "Raise", "Rand", "Rational", "Recoef",
    "Redrowech", "Rem", "Return", "Reverse", "Rlabel", "Rowreduce", "SDet", "SDivide", "STrans",
    "Sigma", "Smith", "Sort", "Sparse", "Splice", "Split", "Sqfree", "Sqrt", "Sum", "Swap",
    "Swapcol", "Swaprow", "Synth", "Terms", "Termsall", "Time", "Tone", "Totdeg", "Trace",
    "Trans", "True", "Var", "Vars", "Wipe", "ZZ1", "ZZ2", "ZZ3", "Zcoef",
};

}  // namespace tavrin
