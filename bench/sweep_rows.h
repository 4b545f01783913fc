// The rows of the sweep (bench_sweep): one operation in one ring at
// doubling sizes n. A row names its operands (built the same way by every
// side), the statements that derive more operands from them, the timed
// statement in each language, the FLINT routine that does the same, and
// the values every side prints for the comparison.
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
  const char* name;    // as the table shows it
  std::int64_t size;   // the prime, or the number of elements; 0 over Z and Q
};

inline RingInfo info(Ring r) {
  constexpr RingInfo rings[] = {{"int", 0},           {"Z", 0},          {"Q", 0},
                                {"7", 7},             {"32003", 32003},  {"2147483629", 2147483629},
                                {"GF(2^8)", 256},     {"GF(2^16)", 65536}};
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
      {"(10 + (7*k^2 + 3*k) | 90)", "(10+(7*k^2+3*k)%90)", [](std::int64_t k) { return 10 + (7 * k * k + 3 * k) % 90; }},
      {"(10 + (5*k^2 + k + 1) | 89)", "(10+(5*k^2+k+1)%89)", [](std::int64_t k) { return 10 + (5 * k * k + k + 1) % 89; }},
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
  for (std::int64_t k = 0; k < n; ++k) s[static_cast<std::size_t>(k)] = static_cast<char>('0' + coefficient(0).at(k) % 10);
  if (s[0] == '0') s[0] = '1';
  return s;
}

// An operand: a polynomial A, B or C of the given degree, X = x^degree, or
// an integer I, J or K of about the given number of digits.
struct Operand {
  const char* name;
  char builder;
  const char* size;
};

// The base and addend of the integer builders.
inline std::int64_t integer_base(char builder) { return builder == 'I' ? 7 : builder == 'J' ? 3 : 13; }
inline std::int64_t integer_addend(char builder) { return builder == 'I' ? 1 : builder == 'J' ? 2 : 4; }
inline std::int64_t integer_exponent(char builder, std::int64_t digits) {
  return static_cast<std::int64_t>(std::ceil(static_cast<double>(digits) / std::log10(static_cast<double>(integer_base(builder)))));
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
  none, mul, sqr, pow, add, divides, divexact, quo, rem, divrem, eval, deriv, gcd, xgcd, powmod, sqfree,
  factor, sqrt, fac, read, write
};

// An operation. The templates may hold {n}, {n/8} and the like (sizes), {cA},
// {cB}, {cC} (the coefficients, written in the language) and {digits} (a
// decimal number of n digits).
struct Operation {
  const char* name;
  std::vector<Operand> operands;
  std::vector<Derived> derived;
  const char* tavrin;      // the timed statement(s)
  const char* gp;          // "" when gp has no counterpart
  std::vector<Check> checks;
  Flint flint = Flint::none;
  const char* tavrin_post = "";  // untimed statements before the checks, with their ends
  const char* gp_post = "";
  bool repeat = true;  // may be timed as a loop of several runs (no cache between them)
};

struct Row {
  const Operation* op;
  Ring ring;
  std::int64_t first, last;  // sizes first, 2 first, ... up to last
};

// Every operation of the sweep.
namespace ops {

using C = std::vector<Check>;
inline const C poly_c{{'d', "c"}, {'v', "c"}};

inline const Operation mul{"a*b", {{"a", 'A', "n"}, {"b", 'B', "n"}}, {}, "c := a*b", "c=a*b", poly_c, Flint::mul};
inline const Operation sqr{"a*a", {{"a", 'A', "n"}}, {}, "c := a*a", "c=a*a", poly_c, Flint::sqr};
inline const Operation add{"a + b", {{"a", 'A', "n"}, {"b", 'B', "n"}}, {}, "c := a + b", "c=a+b", poly_c, Flint::add};
// the exponent odd: a power of two times e is e's power squared by
// Frobenius in characteristic 2
inline const Operation pow{"a^(n/8 - 1), deg a = 8", {{"a", 'A', "8"}}, {}, "c := a^{n/8-1}", "c=a^{n/8-1}", poly_c,
                           Flint::pow};
// b of degree n divides c = a*b of degree 2n; e = c + r is not divisible.
inline const std::vector<Operand> division_operands{{"a", 'A', "n"}, {"b", 'B', "n"}, {"r", 'C', "n-1"}};
inline const std::vector<Derived> division_derived{{"c", "a", '*', "b"}, {"e", "c", '+', "r"}};
inline const Operation div{"Div(b, c, q), c = a*b", division_operands, division_derived, "k := Div(b, c, q)",
                           "d=divrem(c,b)", {{'n', "k"}, {'d', "q"}, {'v', "q"}}, Flint::divides, "",
                           "k=(d[2]==0);q=d[1];"};
inline const Operation exact{"c/b, c = a*b", division_operands, division_derived, "q := c/b", "q=c\\b",
                             {{'d', "q"}, {'v', "q"}}, Flint::divexact};
inline const Operation quo{"e \\ b, e = a*b + r", division_operands, division_derived, "q := e \\ b", "q=e\\b",
                           {{'d', "q"}, {'m', "q"}}, Flint::quo};
inline const Operation rem{"e | b", division_operands, division_derived, "r := e | b", "r=e%b",
                           {{'d', "r"}, {'m', "r"}}, Flint::rem};
inline const Operation rem_q{"Rem(e, b, q)", division_operands, division_derived, "r := Rem(e, b, q)",
                             "d=divrem(e,b)", {{'d', "r"}, {'m', "r"}, {'d', "q"}, {'m', "q"}}, Flint::divrem, "",
                             "q=d[1];r=d[2];"};
inline const Operation pdiv{"Pdiv(b, c)", division_operands, division_derived, "k := Pdiv(b, c)", "k=(c%b==0)",
                            {{'n', "k"}}, Flint::divides};
inline const Operation eval{"a#3", {{"a", 'A', "n"}}, {}, "v := a#3", "v=subst(a,x,E(3))", {{'v', "v"}}, Flint::eval};
inline const Operation deriv{"Deriv(a, x, 1)", {{"a", 'A', "n"}}, {}, "c := Deriv(a, x, 1)", "c=deriv(a)", poly_c,
                             Flint::deriv};
// u and w of degree n with a GCD h of degree n/2.
inline const std::vector<Operand> gcd_operands{{"a", 'A', "n/2"}, {"b", 'B', "n/2"}, {"h", 'C', "n/2"}};
inline const std::vector<Derived> gcd_derived{{"u", "a", '*', "h"}, {"w", "b", '*', "h"}};
inline const Operation gcd{"GCD(u, w), deg n, GCD n/2", gcd_operands, gcd_derived, "g := GCD(u, w)", "g=gcd(u,w)",
                           {{'d', "g"}, {'m', "g"}}, Flint::gcd, "", "", false};
inline const Operation egcd{"EGCD(u, w, s, t)", gcd_operands, gcd_derived, "g := EGCD(u, w, s, t)",
                            "[s,t,g]=gcdext(u,w)",
                            {{'d', "g"}, {'m', "g"}, {'d', "s"}, {'s', "s", "g"}, {'d', "t"}, {'s', "t", "g"}},
                            Flint::xgcd, "", "", false};
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
inline const Operation sqfree{"Sqfree(s), s = a^2 b", {{"a", 'A', "n/4"}, {"b", 'B', "n/2"}},
                              {{"s", "a", '*', "a"}, {"s", "s", '*', "b"}}, "k := Sqfree(s, [f])", "f=S(s)",
                              factor_checks, Flint::sqfree, tavrin_radical, gp_radical, false};
inline const Operation factor{"Factor(a)", {{"a", 'A', "n"}}, {}, "k := Factor(a, [f])", "f=factor(a)", factor_checks,
                              Flint::factor, tavrin_radical, gp_radical, false};
inline const Operation sigma_q{"Sigma<k = 0, n>[cA/cB x^k]", {}, {}, "a := Sigma<k = 0, {n}>[{cA}/{cB}*x^k]",
                               "a=sum(k=0,{n},{cA}/{cB}*x^k)", {{'d', "a"}, {'v', "a"}}, Flint::none, "", "", false};
inline const Operation loop{"a := a + c*x^k, k = 0..n", {}, {},
                            "a := 0: for k = 0 to {n} do a := a + (k^2 + 3*k + 10)*x^k od",
                            "a=0;for(k=0,{n},a+=E(k^2+3*k+10)*x^k)", {{'d', "a"}, {'v', "a"}}, Flint::none, "", "",
                            false};

// Integers of n digits.
inline const C int_c{{'v', "c"}};
inline const Operation imul{"a*b", {{"a", 'I', "n"}, {"b", 'J', "n"}}, {}, "c := a*b", "c=a*b", int_c, Flint::mul};
inline const Operation isqr{"a*a", {{"a", 'I', "n"}}, {}, "c := a*a", "c=a*a", int_c, Flint::sqr};
inline const Operation ipow{"w^16, w of n/16 digits", {{"w", 'J', "n/16"}}, {}, "c := w^16", "c=w^16", int_c,
                            Flint::pow};
inline const std::vector<Operand> int_division_operands{{"a", 'I', "n"}, {"b", 'J', "n"}, {"e", 'K', "n*2"}};
inline const Operation iquo{"e \\ b, 2n by n digits", int_division_operands, {}, "q := e \\ b", "q=e\\b",
                            {{'v', "q"}}, Flint::quo};
inline const Operation irem{"e | b", int_division_operands, {}, "r := e | b", "r=e%b", {{'v', "r"}}, Flint::rem};
inline const Operation iexact{"c/b, c = a*b", int_division_operands, {{"c", "a", '*', "b"}}, "q := c/b", "q=c/b",
                              {{'v', "q"}}, Flint::divexact};
inline const std::vector<Operand> int_gcd_operands{{"a", 'I', "n/2"}, {"b", 'J', "n/2"}, {"h", 'K', "n/2"}};
inline const Operation igcd{"GCD(u, w), GCD of n/2 digits", int_gcd_operands, gcd_derived, "g := GCD(u, w)",
                            "g=gcd(u,w)", {{'v', "g"}}, Flint::gcd};
inline const Operation iegcd{"EGCD(u, w, s, t)", int_gcd_operands, gcd_derived, "g := EGCD(u, w, s, t)",
                             "[s,t,g]=gcdext(u,w)", {{'v', "g"}, {'v', "s"}, {'v', "t"}}, Flint::xgcd};
inline const Operation isqrt{"Sqrt(e), e of 2n digits", {{"e", 'K', "n*2"}}, {}, "r := Sqrt(e)", "r=sqrtint(e)",
                             {{'v', "r"}}, Flint::sqrt};
inline const Operation ipowm{"Powermod(a, b, m)", {{"a", 'I', "n"}, {"b", 'J', "n"}, {"m", 'K', "n"}}, {},
                             "c := Powermod(a, b, m)", "c=lift(Mod(a,m)^b)", int_c, Flint::powmod};
inline const Operation ifac{"n!", {}, {}, "c := {n}!", "c={n}!", int_c, Flint::fac};
// gp reads a literal when it reads the statement, before the timing starts:
// its time is that of eval on the text
inline const Operation iread{"decimal input", {}, {}, "a := {digits}", "a=eval(\"{digits}\")", {{'v', "a"}},
                             Flint::read};
inline const Operation iwrite{"decimal output", {{"a", 'I', "n"}}, {}, "!!a", "print(a)", {{'v', "a"}}, Flint::write};
inline const Operation harmonic{"Sigma<k = 1, n>[1/k]", {}, {}, "h := Sigma<k = 1, {n}>[1/k]", "h=sum(k=1,{n},1/k)",
                                {{'v', "h"}}};

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
  auto in = [&](const Operation& op, const std::vector<Ring>& rings, std::int64_t first, std::int64_t last) {
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
  in(ops::rem_q, {z, q}, 125, most);
  in(ops::rem_q, finite, 1000, most);
  in(ops::pdiv, integral, 1000, most);
  in(ops::eval, all, 1000, most);
  in(ops::deriv, all, 1000, most);
  in(ops::gcd, all, 1000, most);
  in(ops::egcd, finite, 1000, most);
  in(ops::powmod, finite, 1000, most);
  in(ops::sqfree, integral, 1000, most);
  in(ops::factor, finite, 100, most);
  in(ops::sigma_q, {q}, 1000, most);
  in(ops::loop, {p32003}, 1000, most);
  return rows;
}

}  // namespace tavrin::bench::sweep
