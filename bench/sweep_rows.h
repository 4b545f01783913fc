// The rows of the sweep (bench_sweep): one operation in one ring at
// doubling sizes n (or sizes of its own). A row names its operands (built
// the same way by every side), the statements that derive more operands
// from them, the timed statement in each language, the FLINT routine that
// does the same, and the values every side prints for the comparison. The
// rows in several variables, of rational functions and of matrices write
// each language's set-up themselves.
//
// Operands are built from coefficients of two digits: over Q the
// coefficient of x^k in A is cA(k)/cB(k), in B cB(k)/cC(k), in C cC(k)/cA(k);
// in the other rings cA(k), cB(k), cC(k), built over the integers and
// reduced to the ring (in GF(2^8) and GF(2^16) a number stands for its bit
// pattern). Integers of d digits are powers of 7, 3 and 13 plus 1, 2 and 4.
//
// A new row: an Operation (its operands, templates and checks) and the rings
// and sizes it runs at, in sweep_rows() below.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace tavrin::bench::sweep {

enum class Ring { integers, z, q, p7, p32003, pword, gf256, gf65536 };

struct RingInfo {
  const char* name;   // as the table shows it
  std::int64_t size;  // the prime, or the number of elements; 0 over Z and Q
};

inline RingInfo info(Ring r) {
  constexpr RingInfo rings[] = {{"int", 0},       {"Z", 0},           {"Q", 0},
                                {"7", 7},         {"32003", 32003},   {"2147483629", 2147483629},
                                {"GF(2^8)", 256}, {"GF(2^16)", 65536}};
  return rings[static_cast<int>(r)];
}

inline bool char2(Ring r) { return r == Ring::gf256 || r == Ring::gf65536; }

// Values over Z and Q (and integers) are compared modulo this prime.
constexpr std::int64_t check_prime = 2147483629;

// The field the printed values live in: the ring itself when finite, else
// the integers modulo check_prime.
inline std::int64_t check_field(Ring r) { return info(r).size != 0 ? info(r).size : check_prime; }

// A coefficient of two digits as a function of the index k, written in
// each language.
struct Coefficient {
  const char* tavrin;
  const char* gp;
  std::int64_t (*at)(std::int64_t k);
};

inline const Coefficient& coefficient(int which) {
  static const Coefficient c[3] = {
      {"(10 + (7*k^2 + 3*k) | 90)", "(10+(7*k^2+3*k)%90)",
       [](std::int64_t k) { return 10 + (7 * k * k + 3 * k) % 90; }},
      {"(10 + (5*k^2 + k + 1) | 89)", "(10+(5*k^2+k+1)%89)",
       [](std::int64_t k) { return 10 + (5 * k * k + k + 1) % 89; }},
      {"(10 + (3*k^2 + 5*k + 2) | 87)", "(10+(3*k^2+5*k+2)%87)",
       [](std::int64_t k) { return 10 + (3 * k * k + 5 * k + 2) % 87; }}};
  return c[which];
}

// A size written in terms of n, from left to right: "n", "n/8", "n*2",
// "n/8-1", or a number.
inline std::int64_t size_of(const std::string& text, std::int64_t n) {
  if (text.empty() || text[0] != 'n') return std::stoll(text);
  std::int64_t v = n;
  for (std::size_t i = 1; i < text.size();) {
    std::size_t used = 0;
    const std::int64_t k = std::stoll(text.substr(i + 1), &used);
    const char op = text[i];
    v = op == '/' ? v / k : op == '*' ? v * k : op == '-' ? v - k : v + k;
    i += 1 + used;
  }
  return v;
}

// A decimal number of n digits, the k-th digit cA(k) mod 10 (the first not 0).
inline std::string decimal_digits(std::int64_t n) {
  std::string s(static_cast<std::size_t>(n), '0');
  for (std::int64_t k = 0; k < n; ++k)
    s[static_cast<std::size_t>(k)] = static_cast<char>('0' + coefficient(0).at(k) % 10);
  if (s[0] == '0') s[0] = '1';
  return s;
}

// An operand: a polynomial A, B or C of the given degree, X = x^degree,
// E = 1 + x + ... + x^degree, D = -x^degree + x^7 - 2 (a short divisor of
// leading coefficient -1 whose quotients grow slowly), or an integer I, J
// or K of about the given number of digits.
struct Operand {
  const char* name;
  char builder;
  const char* size;
};

// The base and addend of the integer builders.
inline std::int64_t integer_base(char builder) {
  return builder == 'I' ? 7 : builder == 'J' ? 3 : 13;
}
inline std::int64_t integer_addend(char builder) {
  return builder == 'I' ? 1 : builder == 'J' ? 2 : 4;
}
inline std::int64_t integer_exponent(char builder, std::int64_t digits) {
  return static_cast<std::int64_t>(std::ceil(
      static_cast<double>(digits) / std::log10(static_cast<double>(integer_base(builder)))));
}

// target := left op right, op '+' or '*', in the ring.
struct Derived {
  const char* target;
  const char* left;
  char op;
  const char* right;
};

// A value every side prints: 'd' the degree of var, 'n' var itself (a
// count), 'v' its value (at x = 3 for a polynomial; the element of bit
// pattern 3 in GF(2^k)), 'm' the value of var divided by its leading
// coefficient, 's' the value of var divided by the leading coefficient of
// by. Degrees and counts are printed first, then the values.
struct Check {
  char kind;
  const char* var;
  const char* by = "";
};

// FLINT's counterpart of a row's operation (the operands and results as
// the row names them; see sweep_flint.h).
enum class Flint {
  none,
  mul,
  sqr,
  pow,
  add,
  divides,
  divexact,
  quo,
  rem,
  divrem,
  eval,
  deriv,
  gcd,
  xgcd,
  powmod,
  sqfree,
  factor,
  sqrt,
  fac,
  read,
  write
};

// An operation. The templates may hold {n}, {n/8} and the like (sizes), {cA},
// {cB}, {cC} (the coefficients, written in the language) and {digits} (a
// decimal number of n digits).
struct Operation {
  const char* name;
  std::vector<Operand> operands = {};
  std::vector<Derived> derived = {};
  const char* tavrin;  // the timed statement(s)
  const char* gp;      // "" when gp has no counterpart
  std::vector<Check> checks;
  Flint flint = Flint::none;
  const char* tavrin_post = "";  // untimed statements before the checks, with their ends
  const char* gp_post = "";
  bool repeat = true;  // may be timed as a loop of several runs (no cache between them)
  // Rows whose operands are not built by the builders above give the set-up
  // of each language (after its preamble) as a template; Singular takes
  // part in a row with a statement of its own.
  const char* tavrin_setup = "";
  const char* gp_setup = "";
  const char* singular_setup = "";
  const char* singular = "";
  const char* singular_post = "";
};

struct Row {
  const Operation* op;
  Ring ring;
  std::int64_t first, last;              // sizes first, 2 first, ... up to last
  std::vector<std::int64_t> sizes = {};  // the sizes, when not doubling
};

// Every operation of the sweep.
namespace ops {

using C = std::vector<Check>;
inline const C poly_c{{'d', "c"}, {'v', "c"}};

inline const Operation mul{
    "a*b", {{"a", 'A', "n"}, {"b", 'B', "n"}}, {}, "c := a*b", "c=a*b", poly_c, Flint::mul};
inline const Operation sqr{"a*a", {{"a", 'A', "n"}}, {}, "c := a*a", "c=a*a", poly_c, Flint::sqr};
inline const Operation add{
    "a + b", {{"a", 'A', "n"}, {"b", 'B', "n"}}, {}, "c := a + b", "c=a+b", poly_c, Flint::add};
// the exponent odd: a power of two times e is e's power squared by
// Frobenius in characteristic 2
inline const Operation pow{"a^(n/8 - 1), deg a = 8",
                           {{"a", 'A', "8"}},
                           {},
                           "c := a^{n/8-1}",
                           "c=a^{n/8-1}",
                           poly_c,
                           Flint::pow};
// b of degree n divides c = a*b of degree 2n; e = c + r is not divisible.
inline const std::vector<Operand> division_operands{
    {"a", 'A', "n"}, {"b", 'B', "n"}, {"r", 'C', "n-1"}};
inline const std::vector<Derived> division_derived{{"c", "a", '*', "b"}, {"e", "c", '+', "r"}};
inline const Operation div{"Div(b, c, q), c = a*b", division_operands,
                           division_derived,        "k := Div(b, c, q)",
                           "d=divrem(c,b)",         {{'n', "k"}, {'d', "q"}, {'v', "q"}},
                           Flint::divides,          "",
                           "k=(d[2]==0);q=d[1];"};
inline const Operation exact{"c/b, c = a*b", division_operands,        division_derived, "q := c/b",
                             "q=c\\b",       {{'d', "q"}, {'v', "q"}}, Flint::divexact};
inline const Operation quo{
    "e \\ b, e = a*b + r",    division_operands, division_derived, "q := e \\ b", "q=e\\b",
    {{'d', "q"}, {'m', "q"}}, Flint::quo};
inline const Operation rem{"e | b", division_operands,        division_derived, "r := e | b",
                           "r=e%b", {{'d', "r"}, {'m', "r"}}, Flint::rem};
inline const Operation rem_q{"Rem(e, b, q)",   division_operands,
                             division_derived, "r := Rem(e, b, q)",
                             "d=divrem(e,b)",  {{'d', "r"}, {'m', "r"}, {'d', "q"}, {'m', "q"}},
                             Flint::divrem,    "",
                             "q=d[1];r=d[2];"};
// A long quotient by a short divisor: the quotient's coefficients grow to
// hundreds of bits over 150,000 steps.
inline const Operation long_quo{"Rem(e, b, q), b = -x^1000 + x^7 - 2, e = 1 + ... + x^n",
                                {{"e", 'E', "n"}, {"b", 'D', "1000"}},
                                {},
                                "r := Rem(e, b, q)",
                                "d=divrem(e,b)",
                                {{'d', "r"}, {'m', "r"}, {'d', "q"}, {'m', "q"}},
                                Flint::divrem,
                                "",
                                "q=d[1];r=d[2];"};
inline const Operation pdiv{"Pdiv(b, c)", division_operands, division_derived, "k := Pdiv(b, c)",
                            "k=(c%b==0)", {{'n', "k"}},      Flint::divides};
inline const Operation eval{"a#3",        {{"a", 'A', "n"}}, {}, "v := a#3", "v=subst(a,x,E(3))",
                            {{'v', "v"}}, Flint::eval};
inline const Operation deriv{"Deriv(a, x, 1)",      {{"a", 'A', "n"}}, {},
                             "c := Deriv(a, x, 1)", "c=deriv(a)",      poly_c,
                             Flint::deriv};
// u and w of degree n with a GCD h of degree n/2.
inline const std::vector<Operand> gcd_operands{
    {"a", 'A', "n/2"}, {"b", 'B', "n/2"}, {"h", 'C', "n/2"}};
inline const std::vector<Derived> gcd_derived{{"u", "a", '*', "h"}, {"w", "b", '*', "h"}};
inline const Operation gcd{"GCD(u, w), deg n, GCD n/2",
                           gcd_operands,
                           gcd_derived,
                           "g := GCD(u, w)",
                           "g=gcd(u,w)",
                           {{'d', "g"}, {'m', "g"}},
                           Flint::gcd,
                           "",
                           "",
                           false};
inline const Operation egcd{
    "EGCD(u, w, s, t)",
    gcd_operands,
    gcd_derived,
    "g := EGCD(u, w, s, t)",
    "[s,t,g]=gcdext(u,w)",
    {{'d', "g"}, {'m', "g"}, {'d', "s"}, {'s', "s", "g"}, {'d', "t"}, {'s', "t", "g"}},
    Flint::xgcd,
    "",
    "",
    false};
inline const Operation powmod{"Powermod(a, 1000003, m), deg m = n",
                              {{"a", 'A', "n-1"}, {"b", 'B', "n-1"}, {"m", 'X', "n"}},
                              {{"m", "m", '+', "b"}},
                              "c := Powermod(a, 1000003, m)",
                              "c=lift(Mod(a,m)^1000003)",
                              poly_c,
                              Flint::powmod,
                              "",
                              "",
                              false};
// The decomposition is checked by its count of factors and their product.
inline const char* const tavrin_radical = "r := 1: for i = 1 to k do r := r*f[i,1] od:";
inline const char* const gp_radical = "k=#f[,1];r=prod(i=1,k,f[i,1]);";
inline const C factor_checks{{'n', "k"}, {'d', "r"}, {'m', "r"}};
inline const Operation sqfree{"Sqfree(s), s = a^2 b",
                              {{"a", 'A', "n/4"}, {"b", 'B', "n/2"}},
                              {{"s", "a", '*', "a"}, {"s", "s", '*', "b"}},
                              "k := Sqfree(s, [f])",
                              "f=S(s)",
                              factor_checks,
                              Flint::sqfree,
                              tavrin_radical,
                              gp_radical,
                              false};
inline const Operation factor{"Factor(a)",
                              {{"a", 'A', "n"}},
                              {},
                              "k := Factor(a, [f])",
                              "f=factor(a)",
                              factor_checks,
                              Flint::factor,
                              tavrin_radical,
                              gp_radical,
                              false};
inline const Operation sigma_q{"Sigma<k = 0, n>[cA/cB x^k]",
                               {},
                               {},
                               "a := Sigma<k = 0, {n}>[{cA}/{cB}*x^k]",
                               "a=sum(k=0,{n},{cA}/{cB}*x^k)",
                               {{'d', "a"}, {'v', "a"}},
                               Flint::none,
                               "",
                               "",
                               false};
inline const Operation loop{"a := a + c*x^k, k = 0..n",
                            {},
                            {},
                            "a := 0: for k = 0 to {n} do a := a + (k^2 + 3*k + 10)*x^k od",
                            "a=0;for(k=0,{n},a+=E(k^2+3*k+10)*x^k)",
                            {{'d', "a"}, {'v', "a"}},
                            Flint::none,
                            "",
                            "",
                            false};

// Integers of n digits.
inline const C int_c{{'v', "c"}};
inline const Operation imul{
    "a*b", {{"a", 'I', "n"}, {"b", 'J', "n"}}, {}, "c := a*b", "c=a*b", int_c, Flint::mul};
inline const Operation isqr{"a*a", {{"a", 'I', "n"}}, {}, "c := a*a", "c=a*a", int_c, Flint::sqr};
inline const Operation ipow{
    "w^16, w of n/16 digits", {{"w", 'J', "n/16"}}, {}, "c := w^16", "c=w^16", int_c, Flint::pow};
inline const std::vector<Operand> int_division_operands{
    {"a", 'I', "n"}, {"b", 'J', "n"}, {"e", 'K', "n*2"}};
inline const Operation iquo{"e \\ b, 2n by n digits",
                            int_division_operands,
                            {},
                            "q := e \\ b",
                            "q=e\\b",
                            {{'v', "q"}},
                            Flint::quo};
inline const Operation irem{"e | b", int_division_operands, {},        "r := e | b",
                            "r=e%b", {{'v', "r"}},          Flint::rem};
inline const Operation iexact{
    "c/b, c = a*b", int_division_operands, {{"c", "a", '*', "b"}}, "q := c/b",
    "q=c/b",        {{'v', "q"}},          Flint::divexact};
inline const std::vector<Operand> int_gcd_operands{
    {"a", 'I', "n/2"}, {"b", 'J', "n/2"}, {"h", 'K', "n/2"}};
inline const Operation igcd{"GCD(u, w), GCD of n/2 digits",
                            int_gcd_operands,
                            gcd_derived,
                            "g := GCD(u, w)",
                            "g=gcd(u,w)",
                            {{'v', "g"}},
                            Flint::gcd};
inline const Operation iegcd{"EGCD(u, w, s, t)",
                             int_gcd_operands,
                             gcd_derived,
                             "g := EGCD(u, w, s, t)",
                             "[s,t,g]=gcdext(u,w)",
                             {{'v', "g"}, {'v', "s"}, {'v', "t"}},
                             Flint::xgcd};
inline const Operation isqrt{"Sqrt(e), e of 2n digits",
                             {{"e", 'K', "n*2"}},
                             {},
                             "r := Sqrt(e)",
                             "r=sqrtint(e)",
                             {{'v', "r"}},
                             Flint::sqrt};
inline const Operation ipowm{"Powermod(a, b, m)",
                             {{"a", 'I', "n"}, {"b", 'J', "n"}, {"m", 'K', "n"}},
                             {},
                             "c := Powermod(a, b, m)",
                             "c=lift(Mod(a,m)^b)",
                             int_c,
                             Flint::powmod};
inline const Operation ifac{"n!", {}, {}, "c := {n}!", "c={n}!", int_c, Flint::fac};
// gp reads a literal when it reads the statement, before the timing starts:
// its time is that of eval on the text
inline const Operation iread{"decimal input",        {},           {},         "a := {digits}",
                             "a=eval(\"{digits}\")", {{'v', "a"}}, Flint::read};
inline const Operation iwrite{"decimal output", {{"a", 'I', "n"}}, {},          "!!a",
                              "print(a)",       {{'v', "a"}},      Flint::write};
inline const Operation harmonic{
    "Sigma<k = 1, n>[1/k]", {},          {}, "h := Sigma<k = 1, {n}>[1/k]",
    "h=sum(k=1,{n},1/k)",   {{'v', "h"}}};

// Polynomials in several variables, Singular beside Tavrin. Tavrin's
// variables run x, y, z, t from the top, so that p#(2, 3, 5, 7) is the value
// at x = 2, y = 3, z = 5, t = 7; each side prints the number of terms of the
// result and its value there.
inline const C multi_c{{'n', "k"}, {'v', "v"}};
inline constexpr const char* tavrin_multi_post = "k := Terms(g): v := g#(2, 3, 5, 7):";
// Singular finds the value modulo check_prime, as over the integers its
// substitution takes longer than the product
inline constexpr const char* singular_multi_post =
    "int k = size(g); ring Rp = 2147483629,(x,y,z,t),dp; poly gm = imap(R, g);\n"
    "bigint v = bigint(int(leadcoef(subst(gm, x, 2, y, 3, z, 5, t, 7))));";

// A product f*(f + 1), f the n-th power of the sum of 1 and the variables
// (Fateman's test in three and in four variables).
inline const Operation fateman{
    .name = "f*(f + 1), f = (1 + x + y + z)^n",
    .tavrin = "g := f*(f + 1)",
    .gp = "",
    .checks = multi_c,
    .tavrin_post = tavrin_multi_post,
    .tavrin_setup = "&(J > y):\n&(J > z):\n&(J > t):\nf := (1 + x + y + z)^{n}:\n",
    .singular_setup = "ring R = 0,(x,y,z,t),dp;\npoly f = (1+x+y+z)^{n}; poly g;\n",
    .singular = "g = f*(f+1)",
    .singular_post = singular_multi_post};
inline const Operation fateman4{
    .name = "f*(f + 1), f = (1 + x + y + z + t)^n",
    .tavrin = "g := f*(f + 1)",
    .gp = "",
    .checks = multi_c,
    .tavrin_post = tavrin_multi_post,
    .tavrin_setup = "&(J > y):\n&(J > z):\n&(J > t):\nf := (1 + x + y + z + t)^{n}:\n",
    .singular_setup = "ring R = 0,(x,y,z,t),dp;\npoly f = (1+x+y+z+t)^{n}; poly g;\n",
    .singular = "g = f*(f+1)",
    .singular_post = singular_multi_post};
// Monagan and Pearce's sparse product, in four variables.
inline const Operation sparse4{
    .name = "f*h, f = (1 + x + y + 2z^2 + 3t^3)^n, h = (1 + t + z + 2y^2 + 3x^3)^n",
    .tavrin = "g := f*h",
    .gp = "",
    .checks = multi_c,
    .tavrin_post = tavrin_multi_post,
    .tavrin_setup =
        "&(J > y):\n&(J > z):\n&(J > t):\nf := (1 + x + y + 2*z^2 + 3*t^3)^{n}:\n"
        "h := (1 + t + z + 2*y^2 + 3*x^3)^{n}:\n",
    .singular_setup =
        "ring R = 0,(x,y,z,t),dp;\npoly f = (1+x+y+2*z^2+3*t^3)^{n};\n"
        "poly h = (1+t+z+2*y^2+3*x^3)^{n}; poly g;\n",
    .singular = "g = f*h",
    .singular_post = singular_multi_post};
// A dense product in two variables.
inline const Operation dense2{.name = "f*h, f = (1 + x + 2y)^n, h = (1 + 3x + y)^n",
                              .tavrin = "g := f*h",
                              .gp = "",
                              .checks = multi_c,
                              .tavrin_post = tavrin_multi_post,
                              .tavrin_setup =
                                  "&(J > y):\n&(J > z):\n&(J > t):\nf := (1 + x + 2*y)^{n}:\n"
                                  "h := (1 + 3*x + y)^{n}:\n",
                              .singular_setup =
                                  "ring R = 0,(x,y,z,t),dp;\npoly f = (1+x+2*y)^{n};\n"
                                  "poly h = (1+3*x+y)^{n}; poly g;\n",
                              .singular = "g = f*h",
                              .singular_post = singular_multi_post};
inline const Operation power3{.name = "(1 + x + y + z)^(2n)",
                              .tavrin = "g := (1 + x + y + z)^{n*2}",
                              .gp = "",
                              .checks = multi_c,
                              .tavrin_post = tavrin_multi_post,
                              .tavrin_setup = "&(J > y):\n&(J > z):\n&(J > t):\n",
                              .singular_setup = "ring R = 0,(x,y,z,t),dp;\npoly g;\n",
                              .singular = "g = (1+x+y+z)^{n*2}",
                              .singular_post = singular_multi_post};
// The exact quotient of Fateman's product by f.
inline const Operation fateman_quotient{
    .name = "c/f, c = f*(f + 1), f = (1 + x + y + z)^n",
    .tavrin = "g := c/f",
    .gp = "",
    .checks = multi_c,
    .tavrin_post = tavrin_multi_post,
    .tavrin_setup = "&(J > y):\n&(J > z):\n&(J > t):\nf := (1 + x + y + z)^{n}:\nc := f*(f + 1):\n",
    .singular_setup =
        "ring R = 0,(x,y,z,t),dp;\npoly f = (1+x+y+z)^{n}; poly c = f*(f+1); poly g;\n",
    .singular = "g = c/f",
    .singular_post = singular_multi_post};
// GCD(f a, f b): f, a and b dense of total degree n, in two, three and four
// variables; the GCD is f.
inline const Operation gcd2{
    .name = "GCD(f a, f b), 2 variables, factors of degree n",
    .tavrin = "g := GCD(u, w)",
    .gp = "",
    .checks = multi_c,
    .tavrin_post = tavrin_multi_post,
    .repeat = false,
    .tavrin_setup =
        "&(J > y):\n&(J > z):\n&(J > t):\nf := (1 + x + 2*y)^{n} + x^{n}:\n"
        "u := f*((2 + 3*x + y)^{n} + y^{n}):\nw := f*((3 + x + 5*y)^{n} + x*y^{n-1}):\n",
    .singular_setup =
        "ring R = 0,(x,y,z,t),dp;\npoly f = (1+x+2*y)^{n} + x^{n};\n"
        "poly u = f*((2+3*x+y)^{n} + y^{n}); poly w = f*((3+x+5*y)^{n} + x*y^{n-1}); poly g;\n",
    .singular = "g = gcd(u, w)",
    .singular_post = singular_multi_post};
inline const Operation gcd3{
    .name = "GCD(f a, f b), 3 variables, factors of degree n",
    .tavrin = "g := GCD(u, w)",
    .gp = "",
    .checks = multi_c,
    .tavrin_post = tavrin_multi_post,
    .repeat = false,
    .tavrin_setup =
        "&(J > y):\n&(J > z):\n&(J > t):\nf := (1 + x + 2*y + 3*z)^{n} + x^{n}:\n"
        "u := f*((2 + 3*x + y + z)^{n} + y^{n}):\nw := f*((3 + x + 5*y + 2*z)^{n} + z^{n}):\n",
    .singular_setup =
        "ring R = 0,(x,y,z,t),dp;\npoly f = (1+x+2*y+3*z)^{n} + x^{n};\n"
        "poly u = f*((2+3*x+y+z)^{n} + y^{n}); poly w = f*((3+x+5*y+2*z)^{n} + z^{n}); poly g;\n",
    .singular = "g = gcd(u, w)",
    .singular_post = singular_multi_post};
inline const Operation gcd4{
    .name = "GCD(f a, f b), 4 variables, factors of degree n",
    .tavrin = "g := GCD(u, w)",
    .gp = "",
    .checks = multi_c,
    .tavrin_post = tavrin_multi_post,
    .repeat = false,
    .tavrin_setup =
        "&(J > y):\n&(J > z):\n&(J > t):\nf := (1 + x + 2*y + 3*z + t)^{n} + x^{n}:\n"
        "u := f*((2 + 3*x + y + z + 2*t)^{n} + t^{n}):\nw := f*((3 + x + 5*y + 2*z + t)^{n} + "
        "z^{n}):\n",
    .singular_setup =
        "ring R = 0,(x,y,z,t),dp;\npoly f = (1+x+2*y+3*z+t)^{n} + x^{n};\n"
        "poly u = f*((2+3*x+y+z+2*t)^{n} + t^{n}); poly w = f*((3+x+5*y+2*z+t)^{n} + z^{n}); poly "
        "g;\n",
    .singular = "g = gcd(u, w)",
    .singular_post = singular_multi_post};

// Rational functions, gp beside Tavrin: each side prints the value of the
// result at x = 2, y = 3, z = 5.
inline const C ratfun_c{{'v', "v"}};
inline constexpr const char* tavrin_ratfun_post = "v := r#(2, 3, 5):";
inline constexpr const char* gp_ratfun_post = "v=subst(subst(subst(r,x,2),y,3),z,5);";
inline constexpr const char* tavrin_yz = "&(J > y):\n&(J > z):\n";
inline const Operation ratsum1{.name = "Sigma<k = 1, n>[1/(x + k)]",
                               .tavrin = "r := Sigma<k = 1, {n}>[1/(x + k)]",
                               .gp = "r=sum(k=1,{n},1/(x+k))",
                               .checks = ratfun_c,
                               .tavrin_post = tavrin_ratfun_post,
                               .gp_post = gp_ratfun_post,
                               .tavrin_setup = tavrin_yz};
inline const Operation ratsum2{.name = "Sigma<k = 1, n>[1/(x + k y + k^2)]",
                               .tavrin = "r := Sigma<k = 1, {n}>[1/(x + k*y + k^2)]",
                               .gp = "r=sum(k=1,{n},1/(x+k*y+k^2))",
                               .checks = ratfun_c,
                               .tavrin_post = tavrin_ratfun_post,
                               .gp_post = gp_ratfun_post,
                               .tavrin_setup = tavrin_yz};
inline const Operation ratsum3{.name = "Sigma<k = 1, n>[1/(x + k y + k^2 z + 1)]",
                               .tavrin = "r := Sigma<k = 1, {n}>[1/(x + k*y + k^2*z + 1)]",
                               .gp = "r=sum(k=1,{n},1/(x+k*y+k^2*z+1))",
                               .checks = ratfun_c,
                               .tavrin_post = tavrin_ratfun_post,
                               .gp_post = gp_ratfun_post,
                               .tavrin_setup = tavrin_yz};
inline const Operation ratprod2{.name = "Product<k = 1, n>[(x + k y + 1)/(x y + k)]",
                                .tavrin = "r := Product<k = 1, {n}>[(x + k*y + 1)/(x*y + k)]",
                                .gp = "r=prod(k=1,{n},(x+k*y+1)/(x*y+k))",
                                .checks = ratfun_c,
                                .tavrin_post = tavrin_ratfun_post,
                                .gp_post = gp_ratfun_post,
                                .tavrin_setup = tavrin_yz};

// Matrices of numbers of side n, gp beside Tavrin: entries of two digits,
// ((7i^3 + 13j^2 + 5ij^2 + 3i + 11j) mod 1009) mod 199 - 99, for Det, the
// inverse and Chpoly; the same mod 1009, less 504, for Hermite and Smith
// (every one of them of full rank up to side 400). Each side prints the
// determinant, two entries of the inverse, the characteristic polynomial's
// degree and value at 3, the product of the Hermite form's diagonal, the
// largest invariant factor.
inline constexpr const char* tavrin_small_matrix =
    "[m] := [<i = 1, {n}><j = 1, {n}> (((7*i^3 + 13*j^2 + 5*i*j^2 + 3*i + 11*j) | 1009) | 199) - "
    "99]:\n";
inline constexpr const char* gp_small_matrix =
    "m=matrix({n},{n},i,j,(((7*i^3+13*j^2+5*i*j^2+3*i+11*j)%1009)%199)-99);\n";
inline constexpr const char* tavrin_matrix =
    "[m] := [<i = 1, {n}><j = 1, {n}> ((7*i^3 + 13*j^2 + 5*i*j^2 + 3*i + 11*j) | 1009) - 504]:\n";
inline constexpr const char* gp_matrix =
    "m=matrix({n},{n},i,j,((7*i^3+13*j^2+5*i*j^2+3*i+11*j)%1009)-504);\n";
inline const Operation det{.name = "Det[m], entries of two digits",
                           .tavrin = "d := Det[m]",
                           .gp = "d=matdet(m)",
                           .checks = {{'v', "d"}},
                           .tavrin_setup = tavrin_small_matrix,
                           .gp_setup = gp_small_matrix};
inline const Operation inverse{.name = "1/[m], entries of two digits",
                               .tavrin = "[g] := 1/[m]",
                               .gp = "g=m^-1",
                               .checks = {{'v', "e"}, {'v', "f"}},
                               .tavrin_post = "e := g[1,1]: f := g[{n},1]:",
                               .gp_post = "e=g[1,1];f=g[{n},1];",
                               .tavrin_setup = tavrin_small_matrix,
                               .gp_setup = gp_small_matrix};
inline const Operation chpoly{.name = "Chpoly([m]), entries of two digits",
                              .tavrin = "c := Chpoly([m])",
                              .gp = "c=charpoly(m)",
                              .checks = {{'d', "c"}, {'m', "c"}},
                              .tavrin_setup = tavrin_small_matrix,
                              .gp_setup = gp_small_matrix};
// Hermite and Smith work in place: one run a program
inline const Operation hermite{.name = "Hermite([m]), entries of three digits",
                               .tavrin = "k := Hermite([m])",
                               .gp = "h=mathnf(m)",
                               .checks = {{'v', "e"}},
                               .tavrin_post = "e := Product<i = 1, {n}>[m[i,i]]:",
                               .gp_post = "e=prod(i=1,{n},h[i,i]);",
                               .repeat = false,
                               .tavrin_setup = tavrin_matrix,
                               .gp_setup = gp_matrix};
inline const Operation smith{.name = "Smith([m]), entries of three digits",
                             .tavrin = "k := Smith([m])",
                             .gp = "h=matsnf(m)",
                             .checks = {{'v', "e"}},
                             .tavrin_post = "e := m[{n},{n}]:",
                             .gp_post = "e=h[1];",
                             .repeat = false,
                             .tavrin_setup = tavrin_matrix,
                             .gp_setup = gp_matrix};

// Running products and sums, one factor or term a step, modulo 32003: the
// statement's own Product and Sigma, and the loop that multiplies or adds
// into one variable.
inline const Operation product_p{"Product<k = 1, n>[x^2 + k x + k^3 + 1]",
                                 {},
                                 {},
                                 "f := Product<k = 1, {n}>[x^2 + k*x + k*k*k + 1]",
                                 "f=prod(k=1,{n},E(1)*(x^2+k*x+k^3+1))",
                                 {{'d', "f"}, {'v', "f"}},
                                 Flint::none,
                                 "",
                                 "",
                                 false};
inline const Operation product_loop{"g := g*(x^2 + k x + k^3 + 1), k = 1..n",
                                    {},
                                    {},
                                    "g := 1: for k = 1 to {n} do g := g*(x^2 + k*x + k*k*k + 1) od",
                                    "g=E(1);for(k=1,{n},g*=x^2+k*x+k^3+1)",
                                    {{'d', "g"}, {'v', "g"}},
                                    Flint::none,
                                    "",
                                    "",
                                    false};
inline const Operation sigma_p{"Sigma<k = 0, n>[(k^2 + 3k + 1) x^k]",
                               {},
                               {},
                               "a := Sigma<k = 0, {n}>[(k*k + 3*k + 1)*x^k]",
                               "a=sum(k=0,{n},E(k^2+3*k+1)*x^k)",
                               {{'d', "a"}, {'v', "a"}},
                               Flint::none,
                               "",
                               "",
                               false};
// An unbalanced product: b a sixteenth of a's length.
inline const Operation mul_unbalanced{
    "a*b, deg b = n/16", {{"a", 'A', "n"}, {"b", 'B', "n/16"}}, {}, "c := a*b", "c=a*b", poly_c,
    Flint::mul};
// The running sum of 1/(x + k) over Q, term by term into one variable.
inline const Operation ratsum_loop{.name = "s := s + 1/(x + k), k = 1..n",
                                   .tavrin = "s := 0: for k = 1 to {n} do s := s + 1/(x + k) od",
                                   .gp = "s=0;for(k=1,{n},s+=1/(x+k))",
                                   .checks = ratfun_c,
                                   .tavrin_post = "v := s#2:",
                                   .gp_post = "v=subst(s,x,2);",
                                   .repeat = false};
// Integer matrices of side n with the diagonal and three scattered entries a
// row, stored sparse and dense: a sparse store must not cost more than the
// dense one.
inline constexpr const char* tavrin_scattered_fill =
    "for i = 1 to {n} do m[i,i] := 2 + (i | 7); m[i,((3*i) | {n}) + 1] := 1 + (i | 5); "
    "m[i,((7*i + 1) | {n}) + 1] := -1 - (i | 3); m[i,((11*i + 5) | {n}) + 1] := (i | 4) - 2 od:\n";
inline constexpr const char* gp_scattered =
    "m=matrix({n},{n});for(i=1,{n},m[i,i]=2+i%7;m[i,(3*i)%{n}+1]=1+i%5;m[i,(7*i+1)%{n}+1]=-1-i%3;"
    "m[i,(11*i+5)%{n}+1]=i%4-2);\n";
inline const std::string tavrin_scattered_sparse =
    std::string("Array m[{n},{n}] Sparse:\n") + tavrin_scattered_fill;
inline const std::string tavrin_scattered_dense =
    std::string("Array m[{n},{n}]:\n") + tavrin_scattered_fill;
inline const Operation det_sparse{.name = "Det[m], Sparse, diagonal and 3 entries a row",
                                  .tavrin = "d := Det[m]",
                                  .gp = "d=matdet(m)",
                                  .checks = {{'v', "d"}},
                                  .tavrin_setup = tavrin_scattered_sparse.c_str(),
                                  .gp_setup = gp_scattered};
inline const Operation det_scattered_dense{.name = "Det[m], dense, diagonal and 3 entries a row",
                                           .tavrin = "d := Det[m]",
                                           .gp = "d=matdet(m)",
                                           .checks = {{'v', "d"}},
                                           .tavrin_setup = tavrin_scattered_dense.c_str(),
                                           .gp_setup = gp_scattered};
// The minimal polynomial of diag(B, B), B of side n/2 with entries -2..2,
// stored sparse: of degree n/2 at most.
inline const Operation minpoly_blocks{
    .name = "Minpoly([m], 0), m = diag(B, B) Sparse",
    .tavrin = "c := Minpoly([m], 0)",
    .gp = "c=minpoly(m)",
    .checks = {{'d', "c"}, {'m', "c"}},
    .tavrin_setup =
        "Array m[{n/2*2},{n/2*2}] Sparse:\nfor i = 1 to {n/2} do for j = 1 to {n/2} do "
        "e := (((7*i^3 + 13*j^2 + 5*i*j^2 + 3*i + 11*j) | 1009) | 5) - 2; m[i,j] := e; "
        "m[i + {n/2},j + {n/2}] := e od od:\n",
    .gp_setup =
        "B=matrix({n/2},{n/2},i,j,(((7*i^3+13*j^2+5*i*j^2+3*i+11*j)%1009)%5)-2);"
        "m=matconcat(matdiagonal([B,B]));\n"};

// GCD(g a, g b) in eight variables, g, a and b of n terms each with
// exponents below 5 in every variable and positive coefficients; each side
// prints the number of terms of the GCD and its value at the primes 2..19.
inline constexpr const char* tavrin_eight =
    "&(J > y):\n&(J > z):\n&(J > t):\n&(J > e):\n&(J > f):\n&(J > g):\n&(J > h):\n";
inline constexpr const char* singular_eight = "ring R = 0,(x,y,z,t,e,f,g,h),dp;\n";
// The term of index k, in Tavrin's words and in Singular's.
inline std::string eight_term(bool tavrin, int k0) {
  const std::string k = "(k + " + std::to_string(k0) + ")", m = tavrin ? " | " : " mod ";
  // the exponent of a variable: (31 k^2 + a k + 3) mod a prime, mod 5
  auto e = [&](const char* v, int a, int prime) {
    return std::string("*") + v + "^(((31*" + k + "*" + k + " + " + std::to_string(a) + "*" + k +
           " + 3)" + m + std::to_string(prime) + ")" + m + "5)";
  };
  return "((" + k + "*" + k + " + " + k + ")" + m + "19 + 1)" + e("x", 7, 101) + e("y", 11, 103) +
         e("z", 13, 107) + e("t", 17, 109) + e("e", 19, 113) + e("f", 23, 127) + e("g", 29, 131) +
         e("h", 37, 137);
}
inline std::string tavrin_eight_setup() {
  std::string s = tavrin_eight;
  const char* names[3] = {"gg", "aa", "bb"};
  for (int i = 0; i < 3; ++i)
    s += std::string(names[i]) + " := Sigma<k = 1, {n}>[" + eight_term(true, 1000 * i) + "]:\n";
  return s + "pu := gg*aa:\npw := gg*bb:\n";
}
inline std::string singular_eight_setup() {
  std::string s =
      std::string(singular_eight) + "poly gg, aa, bb, hh; int k;\nfor (k = 1; k <= {n}; k++) {";
  const char* names[3] = {"gg", "aa", "bb"};
  for (int i = 0; i < 3; ++i)
    s += std::string(" ") + names[i] + " = " + names[i] + " + " + eight_term(false, 1000 * i) + ";";
  return s + " }\npoly pu = gg*aa; poly pw = gg*bb;\n";
}
inline const std::string tavrin_eight_text = tavrin_eight_setup();
inline const std::string singular_eight_text = singular_eight_setup();
inline const Operation gcd8{
    .name = "GCD(g a, g b), 8 variables, n terms each",
    .tavrin = "hh := GCD(pu, pw)",
    .gp = "",
    .checks = {{'n', "kk"}, {'v', "vv"}},
    .tavrin_post = "kk := Terms(hh): vv := hh#(2, 3, 5, 7, 11, 13, 17, 19):",
    .repeat = false,
    .tavrin_setup = tavrin_eight_text.c_str(),
    .singular_setup = singular_eight_text.c_str(),
    .singular = "hh = gcd(pu, pw)",
    .singular_post =
        "int kk = size(hh); ring Rp = 2147483629,(x,y,z,t,e,f,g,h),dp; poly gm = imap(R, hh);\n"
        "bigint vv = bigint(int(leadcoef(subst(gm, x, 2, y, 3, z, 5, t, 7, e, 11, f, 13, g, 17, h, "
        "19))));"};
// Products in the tower Z/32003[t, s]/(t^n + t + 3, s^n + t s + 1): two
// elements with every exponent below the relations' degrees, the product
// reduced by both relations (Singular reduces by their standard basis).
inline const Operation tower{
    .name = "a*b in Z/32003[t, s]/(t^n + t + 3, s^n + t s + 1)",
    .tavrin = "c := a*b",
    .gp = "",
    .checks = {{'n', "kk"}, {'v', "vv"}},
    .tavrin_post = "kk := Terms(c): vv := c#(0, 3, 5):",
    // the coefficients are found over the integers, the relations set before the change to the
    // prime
    .tavrin_setup =
        "&(J > s):\n&(J > t):\na := 0: b := 0:\n"
        "for i = 0 to {n-1} do for j = 0 to {n-1} do a := a + ((7*i + 3*j*j + 1) | 97)*t^i*s^j; "
        "b := b + ((5*i*i + j + 2) | 89)*t^i*s^j od od:\n&(P = t^{n} + t + 3):\n&(P = s^{n} + t*s "
        "+ 1):\n",
    .singular_setup =
        "ring R = 32003,(s,t),dp;\nideal G = std(ideal(t^{n} + t + 3, s^{n} + t*s + 1));\n"
        "poly a, b, c; int i, j;\nfor (i = 0; i <= {n-1}; i++) { for (j = 0; j <= {n-1}; j++) { "
        "a = a + ((7*i + 3*j*j + 1) mod 97)*t^i*s^j; b = b + ((5*i*i + j + 2) mod 89)*t^i*s^j; } "
        "}\n",
    .singular = "c = reduce(a*b, G)",
    .singular_post =
        "int kk = size(c); int vv = int(leadcoef(subst(c, s, 3, t, 5))); if (vv < 0) { vv = vv + "
        "32003; }"};

}  // namespace ops

// The table: every operation in every ring it applies to, from size `first`
// doubling up to `last` (each row stops earlier at its time limit).
inline std::vector<Row> sweep_rows() {
  using enum Ring;
  constexpr std::int64_t most = 1024000;
  const std::vector<Ring> all{z, q, p7, p32003, pword, gf256, gf65536};
  const std::vector<Ring> finite{p7, p32003, pword, gf256, gf65536};
  // Div, Pdiv and Sqfree take polynomials without denominators
  const std::vector<Ring> integral{z, p7, p32003, pword, gf256, gf65536};
  std::vector<Row> rows;
  auto in = [&](const Operation& op, const std::vector<Ring>& rings, std::int64_t first,
                std::int64_t last) {
    for (Ring r : rings) rows.push_back({&op, r, first, last});
  };
  // integers stop at 32,767 limbs of 28 bits (275,000 digits): results of
  // 2n digits at n = 128,000
  constexpr std::int64_t digits = 256000;
  in(ops::imul, {integers}, 1000, digits / 2);
  in(ops::isqr, {integers}, 1000, digits / 2);
  in(ops::iquo, {integers}, 1000, digits / 2);
  in(ops::irem, {integers}, 1000, digits / 2);
  in(ops::iexact, {integers}, 1000, digits / 2);
  in(ops::igcd, {integers}, 1000, digits);
  in(ops::iegcd, {integers}, 1000, digits);
  in(ops::isqrt, {integers}, 1000, digits / 2);
  in(ops::ipowm, {integers}, 1000, digits / 2);
  in(ops::ipow, {integers}, 1000, digits);
  in(ops::ifac, {integers}, 1000, 32000);  // 32000! has 130,000 digits
  in(ops::iread, {integers}, 1000, digits);
  in(ops::iwrite, {integers}, 1000, digits);
  in(ops::harmonic, {integers}, 1000, most);
  in(ops::mul, all, 1000, most);
  in(ops::sqr, all, 1000, most);
  in(ops::pow, all, 1000, most);
  in(ops::add, {z, q}, 1000, most);
  in(ops::div, integral, 1000, most);
  in(ops::exact, all, 1000, most);
  // over Z and Q by pseudo-division, from smaller sizes; over Q, e \ b
  // divides e's denominator by b: 0
  in(ops::quo, {z}, 125, most);
  in(ops::quo, finite, 1000, most);
  in(ops::rem, {z, q}, 125, most);
  in(ops::rem, finite, 1000, most);
  // over Q the quotient's coefficients pass the number limit (32,767
  // limbs) at 16,000
  in(ops::rem_q, {z}, 125, most);
  in(ops::rem_q, {q}, 125, 8000);
  in(ops::rem_q, finite, 1000, most);
  rows.push_back({&ops::long_quo, z, 19000, 152000, {19000, 38000, 76000, 102000, 152000}});
  in(ops::pdiv, integral, 1000, most);
  // over Z and Q the value at 3 passes the number limit (32,767 limbs) at
  // degree 1,024,000
  in(ops::eval, {z, q}, 1000, most / 2);
  in(ops::eval, finite, 1000, most);
  in(ops::deriv, all, 1000, most);
  in(ops::gcd, all, 1000, most);
  in(ops::egcd, finite, 1000, most);
  in(ops::powmod, finite, 1000, most);
  in(ops::sqfree, integral, 1000, most);
  in(ops::factor, finite, 100, most);
  in(ops::sigma_q, {q}, 1000, most);
  in(ops::loop, {p32003}, 1000, most);
  // several variables, rational functions and matrices
  rows.push_back({&ops::fateman, z, 20, 64, {20, 30, 40, 50, 64}});
  in(ops::fateman4, {z}, 5, 40);
  in(ops::sparse4, {z}, 2, 64);
  in(ops::dense2, {z}, 25, 1600);
  in(ops::power3, {z}, 8, 128);
  in(ops::fateman_quotient, {z}, 8, 128);
  in(ops::gcd2, {z}, 12, 384);
  in(ops::gcd3, {z}, 6, 96);
  in(ops::gcd4, {z}, 3, 48);
  in(ops::ratsum1, {q}, 100, 12800);
  in(ops::ratsum2, {q}, 20, 640);
  in(ops::ratsum3, {q}, 10, 320);
  in(ops::ratprod2, {q}, 20, 640);
  for (const Operation* op : {&ops::det, &ops::inverse, &ops::chpoly, &ops::hermite, &ops::smith})
    in(*op, {z}, 25, 400);
  in(ops::product_p, {p32003}, 1000, 16000);
  in(ops::product_loop, {p32003}, 1000, 16000);
  in(ops::sigma_p, {p32003}, 100000, 800000);
  in(ops::ratsum_loop, {q}, 125, 2000);
  in(ops::mul_unbalanced, {z, q}, 16000, most);
  in(ops::det_sparse, {z}, 100, 800);
  in(ops::det_scattered_dense, {z}, 100, 800);
  in(ops::minpoly_blocks, {z}, 100, 800);
  in(ops::gcd8, {z}, 128, 1024);
  in(ops::tower, {p32003}, 16, 128);
  return rows;
}

}  // namespace tavrin::bench::sweep
