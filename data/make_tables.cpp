// Writes Tavrin's numeric start-up data files into the directory named on
// the command line (the build puts it beside the executable as BACKWARD/).
//
// Every table is computed here with this program's own small arithmetic
// (a sieve, trial division, and natural numbers as digit vectors that are
// only multiplied by small factors and added), so the files also serve as
// an independent check of Tavrin's big-integer code. Each file is checked
// against the facts the readers rely on (counts, sentinels) before it is
// written; any mismatch stops the build.
//
// Files (numbers are decimal, separated by white space):
//   pow228     (2^28)^i for i = 1..130 in base 10^8: a decimal digit count,
//              then the digit groups, most significant first; the 22
//              factorial points 0, 10, ..., 210; their factorials as a limb
//              count and base-2^28 limbs; the 1,900 binomials
//              binomial(3q, r), q = 1..50, r = 1..floor(3q/2), row by row,
//              each as its limbs at the row's current width (1 at the start
//              of a row; a -1 before an entry widens it and the rest of the
//              row by one limb); then the plain values of the first 80.
//   primelist  the 1,229 primes 2..9973, then the 2,466 primes 17021..42349.
//   pprods     the 599 primes 42359..48869, then for k = 0..598 the product
//              of the first k + 1 of them as a limb count and base-2^28 limbs.
//   bprimes    the 1,516 primes 48871..65521.
//   lrgpmes    the 2,000 largest primes not above 2147483644, ascending.
//   f256d, f2t16d  the reduction polynomial of GF(2^8) / GF(2^16) and a
//              line describing the field (never read).
//   Qerrs      the 377 message texts, one a line, then the number of the last
//              built-in and the pairs (name, second name) of the built-in
//              table, all from the checked-in source table named on the
//              command line (checked: every code once, texts of at most 64
//              characters, names of at most 10 characters strictly ascending
//              by unsigned bytes, second names "*k" only at index k).
//   chdat      for m = 1 .. 37, m + 1 values: the value 0, then for i = 1 .. m
//              the Lagrange basis polynomial of the points 1 .. m that is 1
//              at i, (-1)^(m-i) prod_{k != i} (x - k) / ((i-1)! (m-i)!), as a
//              denominator (limb count and base-2^28 limbs), a degree and the
//              coefficients from the top (limbs carrying the sign). Checked
//              modulo two large primes: each is 1 at i and 0 at the other
//              points.
//   tvrstart.txt   the memory size in megabytes.
//   checksums  for each file above but tvrstart.txt (which users edit): its
//              name, its size in bytes and its FNV-1a 64-bit checksum in
//              hexadecimal; then "end" and the checksum of those lines.
//              Tavrin refuses to start when a file does not match.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

using u32 = std::uint32_t;
using u64 = std::uint64_t;

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "make_tables: %s\n", what.c_str());
  std::exit(1);
}

void check(bool ok, const std::string& what) {
  if (!ok) fail(what);
}

// ---- Primes -----------------------------------------------------------------

std::vector<u32> sieve(u32 limit) {
  std::vector<bool> composite(limit + 1, false);
  std::vector<u32> primes;
  for (u32 i = 2; i <= limit; ++i) {
    if (composite[i]) continue;
    primes.push_back(i);
    for (u64 j = u64{i} * i; j <= limit; j += i) composite[j] = true;
  }
  return primes;
}

// Trial division by the sieved primes (which must reach sqrt(x)).
bool trial_prime(u64 x, const std::vector<u32>& primes) {
  if (x < 2) return false;
  for (u32 p : primes) {
    if (u64{p} * p > x) return true;
    if (x % p == 0) return false;
  }
  fail("trial division ran out of primes");
}

std::vector<u32> primes_between(const std::vector<u32>& primes, u32 lo, u32 hi) {
  std::vector<u32> r;
  for (u32 p : primes)
    if (p >= lo && p <= hi) r.push_back(p);
  return r;
}

// ---- Natural numbers in base `base`, least significant digit first ---------

struct Nat {
  u32 base;
  std::vector<u32> d;  // no leading zero digit; zero is the empty vector

  Nat(u32 b, u64 v) : base(b) {
    for (; v != 0; v /= b) d.push_back(static_cast<u32>(v % b));
  }

  void mul_small(u32 m) {
    u64 carry = 0;
    for (u32& x : d) {
      const u64 t = u64{x} * m + carry;
      x = static_cast<u32>(t % base);
      carry = t / base;
    }
    for (; carry != 0; carry /= base) d.push_back(static_cast<u32>(carry % base));
    if (m == 0) d.clear();
  }

  Nat plus(const Nat& o) const {
    Nat r(base, 0);
    u64 carry = 0;
    for (std::size_t i = 0; i < d.size() || i < o.d.size() || carry != 0; ++i) {
      u64 t = carry;
      if (i < d.size()) t += d[i];
      if (i < o.d.size()) t += o.d[i];
      r.d.push_back(static_cast<u32>(t % base));
      carry = t / base;
    }
    return r;
  }

  bool less_or_equal(const Nat& o) const {
    if (d.size() != o.d.size()) return d.size() < o.d.size();
    for (std::size_t i = d.size(); i-- > 0;)
      if (d[i] != o.d[i]) return d[i] < o.d[i];
    return true;
  }

  std::size_t digits() const { return d.empty() ? 1 : d.size(); }

  // The value, when it fits in 64 bits.
  u64 value() const {
    u64 v = 0;
    for (std::size_t i = d.size(); i-- > 0;) v = v * base + d[i];
    return v;
  }
};

constexpr u32 limb_base = u32{1} << 28;
constexpr u32 group_base = 100000000;

// The digits of n, most significant first (zero as one digit 0).
std::string digit_list(const Nat& n) {
  std::string s;
  if (n.d.empty()) return "0";
  for (std::size_t i = n.d.size(); i-- > 0;) {
    s += std::to_string(n.d[i]);
    if (i != 0) s += ' ';
  }
  return s;
}

// ---- Files -------------------------------------------------------------------

class Out {
 public:
  Out(const std::string& dir, const char* name) : path_(dir + "/" + name) {
    f_ = std::fopen(path_.c_str(), "w");
    if (f_ == nullptr) fail("cannot write " + path_);
  }
  ~Out() {
    if (std::fclose(f_) != 0) fail("cannot finish " + path_);
  }
  Out(const Out&) = delete;
  Out& operator=(const Out&) = delete;

  void line(const std::string& s) {
    if (std::fprintf(f_, "%s\n", s.c_str()) < 0) fail("cannot write " + path_);
  }
  void numbers(const std::vector<u32>& v, std::size_t per_line = 10) {
    std::string s;
    for (std::size_t i = 0; i < v.size(); ++i) {
      s += std::to_string(v[i]);
      if ((i + 1) % per_line == 0 || i + 1 == v.size()) {
        line(s);
        s.clear();
      } else {
        s += ' ';
      }
    }
  }

 private:
  std::string path_;
  std::FILE* f_;
};

void write_pow228(const std::string& dir) {
  Out out(dir, "pow228");

  // (2^28)^i in base 10^8: the decimal digit count, then the groups.
  Nat p(group_base, 1);
  for (int i = 1; i <= 130; ++i) {
    p.mul_small(limb_base);
    const std::size_t top_digits = std::to_string(p.d.back()).size();
    const std::size_t count = 8 * (p.d.size() - 1) + top_digits;
    check((count + 7) / 8 == p.d.size(), "digit count of a power of 2^28");
    out.line(std::to_string(count) + " " + digit_list(p));
  }

  // Factorial points and their factorials in base 2^28.
  std::vector<u32> points;
  for (u32 k = 0; k <= 210; k += 10) points.push_back(k);
  check(points.size() == 22 && points[0] <= 1 && points[1] == 10, "factorial points");
  out.numbers(points, 22);
  Nat f(limb_base, 1);
  u32 done = 0;
  for (u32 point : points) {
    for (; done < point; ++done) f.mul_small(done + 1);
    out.line(std::to_string(f.digits()) + " " + digit_list(f));
  }

  // Binomials of the rows 3, 6, ..., 150 by Pascal's rule (additions only).
  std::vector<Nat> row{Nat(limb_base, 1)};  // row 0
  std::vector<u64> first_values;
  int entries = 0;
  for (u32 n = 1; n <= 150; ++n) {
    std::vector<Nat> next{Nat(limb_base, 1)};
    for (std::size_t r = 1; r < n; ++r) next.push_back(row[r - 1].plus(row[r]));
    next.push_back(Nat(limb_base, 1));
    row = std::move(next);
    if (n % 3 != 0) continue;
    std::size_t width = 1;
    for (u32 r = 1; r <= n / 2; ++r) {
      const Nat& e = row[r];
      check(r == 1 || row[r - 1].less_or_equal(e), "binomials grow along a half row");
      std::string s;
      if (e.digits() > width) {
        check(e.digits() == width + 1, "a binomial grew by more than one limb");
        ++width;
        s = "-1 ";
      }
      check(e.digits() == width, "binomial width");
      out.line(s + digit_list(e));
      if (++entries <= 80) {
        check(e.d.size() <= 2 && e.value() <= 2147483647u, "a plain binomial value fits a word");
        first_values.push_back(e.value());
      }
    }
  }
  check(entries == 1900, "binomial count");
  std::vector<u32> plain;
  for (u64 v : first_values) plain.push_back(static_cast<u32>(v));
  out.numbers(plain);
}

void write_prime_files(const std::string& dir, const std::vector<u32>& primes) {
  {
    Out out(dir, "primelist");
    const std::vector<u32> small = primes_between(primes, 2, 9973);
    const std::vector<u32> medium = primes_between(primes, 17021, 42349);
    check(small.size() == 1229 && small.back() == 9973, "small primes");
    check(medium.size() == 2466 && medium.front() == 17021 && medium.back() == 42349,
          "medium primes");
    out.numbers(small);
    out.numbers(medium);
  }
  {
    Out out(dir, "pprods");
    const std::vector<u32> ps = primes_between(primes, 42359, 48869);
    check(ps.size() == 599, "product primes");
    out.numbers(ps);
    Nat prod(limb_base, 1);
    for (u32 p : ps) {
      prod.mul_small(p);
      out.line(std::to_string(prod.digits()) + " " + digit_list(prod));
    }
    check(prod.digits() == 332, "the last product has 332 limbs");
  }
  {
    Out out(dir, "bprimes");
    const std::vector<u32> big = primes_between(primes, 48871, 65521);
    check(big.size() == 1516 && big.back() == 65521, "big primes");
    out.numbers(big);
  }
  {
    Out out(dir, "lrgpmes");
    std::vector<u32> large;
    for (u64 x = 2147483644; large.size() < 2000; --x)
      if (trial_prime(x, primes)) large.push_back(static_cast<u32>(x));
    check(large.front() == 2147483629u, "the largest prime not above 2147483644");
    std::vector<u32> ascending(large.rbegin(), large.rend());
    out.numbers(ascending);
  }
}

// The order of x in GF(2)[x] / (poly), poly of degree bits.
u32 order_of_x(u32 poly, int bits) {
  const u32 size = u32{1} << bits;
  u32 v = 1;
  for (u32 k = 1; k < size; ++k) {
    v <<= 1;
    if ((v & size) != 0) v ^= poly;
    if (v == 1) return k;
  }
  return 0;
}

void write_field_file(const std::string& dir, const char* name, u32 poly, int bits,
                      const char* text) {
  check(order_of_x(poly, bits) == (u32{1} << bits) - 1, "the field polynomial is primitive");
  Out out(dir, name);
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%X", poly);
  out.line(hex);
  out.line(text);
}


// ---- Qerrs -----------------------------------------------------------------------

void write_qerrs(const std::string& dir, const std::string& source) {
  std::ifstream in(source);
  check(static_cast<bool>(in), "cannot read " + source);
  std::vector<std::string> texts(378);
  std::vector<std::pair<std::string, std::string>> names;
  std::string line, section;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    if (line[0] == '[') {
      section = line;
      continue;
    }
    const std::size_t tab = line.find('\t');
    check(tab != std::string::npos, "no tab in: " + line);
    const long index = std::strtol(line.substr(0, tab).c_str(), nullptr, 10);
    const std::string rest = line.substr(tab + 1);
    if (section == "[messages]") {
      check(index >= 1 && index <= 377 && texts[index].empty(), "bad or repeated code: " + line);
      check(!rest.empty() && rest.size() <= 64, "message text of 1 to 64 characters: " + line);
      for (char c : rest) check(c >= ' ' && c <= '~', "printable message text: " + line);
      texts[index] = rest;
    } else if (section == "[builtins]") {
      check(index == static_cast<long>(names.size()), "built-ins in index order: " + line);
      const std::size_t tab2 = rest.find('\t');
      check(tab2 != std::string::npos, "no second name: " + line);
      const std::string name = rest.substr(0, tab2), second = rest.substr(tab2 + 1);
      check(!name.empty() && name.size() <= 10 && name[0] >= 'A' && name[0] <= 'Z',
            "a name of 1 to 10 characters beginning with a capital: " + line);
      check(!second.empty() && second.size() <= 10, "a second name of 1 to 10 characters: " + line);
      for (const std::string* w : {&name, &second})
        for (char c : *w) check(c > ' ' && c <= '~', "no blank in a name: " + line);
      check(second[0] != '*' || second == "*" + std::to_string(index),
            "an operator alias carries its own index: " + line);
      check(names.empty() || std::strcmp(names.back().first.c_str(), name.c_str()) < 0,
            "names strictly ascending: " + line);
      names.emplace_back(name, second);
    } else {
      fail("line outside a section: " + line);
    }
  }
  for (int code = 1; code <= 377; ++code)
    check(!texts[code].empty(), "no text for code " + std::to_string(code));
  check(names.size() >= 55 && names.size() <= 110, "55 to 110 built-ins");

  Out out(dir, "Qerrs");
  for (int code = 1; code <= 377; ++code) out.line(texts[code]);
  out.line(std::to_string(names.size() - 1));
  for (const auto& [name, second] : names) out.line(name + " " + second);
}

// ---- chdat -------------------------------------------------------------------------

// A signed number record: limb count, then the limbs, each carrying the sign.
std::string number_record(const Nat& magnitude, bool negative) {
  if (magnitude.d.empty()) return "1 0";
  std::string s = std::to_string(magnitude.d.size());
  for (std::size_t k = magnitude.d.size(); k-- > 0;) {
    s += negative ? " -" : " ";
    s += std::to_string(magnitude.d[k]);
  }
  return s;
}

// x mod p for the natural number x (limbs base 2^28), p < 2^62.
u64 mod_value(const Nat& x, u64 p) {
  unsigned __int128 r = 0;
  for (std::size_t k = x.d.size(); k-- > 0;) r = (r * x.base + x.d[k]) % p;
  return static_cast<u64>(r);
}

u64 mod_mul(u64 a, u64 b, u64 p) {
  return static_cast<u64>(static_cast<unsigned __int128>(a) * b % p);
}

void write_chdat(const std::string& dir) {
  constexpr int last_row = 37;
  const u64 checks[] = {(u64{1} << 61) - 1, 4611686018427387847u};  // 2^61 - 1, a prime below 2^62
  Out out(dir, "chdat");
  for (int m = 1; m <= last_row; ++m) {
    out.line("1 1 0 1 0");  // the value 0
    for (int i = 1; i <= m; ++i) {
      // e[j]: coefficient of x^j in prod_{k != i} (x + k), all positive; the
      // coefficient of x^j in prod (x - k) is (-1)^(m-1-j) e[j].
      std::vector<Nat> e{Nat(limb_base, 1)};
      for (int k = 1; k <= m; ++k) {
        if (k == i) continue;
        std::vector<Nat> next(e.size() + 1, Nat(limb_base, 0));
        for (std::size_t j = 0; j < e.size(); ++j) {
          next[j + 1] = next[j + 1].plus(e[j]);
          Nat t = e[j];
          t.mul_small(static_cast<u32>(k));
          next[j] = next[j].plus(t);
        }
        e = std::move(next);
      }
      Nat den(limb_base, 1);
      for (int k = 2; k <= i - 1; ++k) den.mul_small(static_cast<u32>(k));
      for (int k = 2; k <= m - i; ++k) den.mul_small(static_cast<u32>(k));
      const int degree = m - 1;
      check(static_cast<int>(e.size()) == degree + 1, "degree of a basis polynomial");
      auto negative = [&](int j) { return ((m - i) + (m - 1 - j)) % 2 != 0; };

      for (u64 p : checks) {
        const u64 d = mod_value(den, p);
        for (int point = 1; point <= m; ++point) {
          u64 v = 0;
          for (int j = degree; j >= 0; --j) {
            const u64 c = mod_value(e[static_cast<std::size_t>(j)], p);
            v = (mod_mul(v, static_cast<u64>(point), p) + (negative(j) && c != 0 ? p - c : c)) % p;
          }
          check(v == (point == i ? d : 0), "a basis polynomial takes 1 at its point, 0 at the others");
        }
      }

      std::string record = number_record(den, false) + " " + std::to_string(degree);
      for (int j = degree; j >= 0; --j)
        record += " " + number_record(e[static_cast<std::size_t>(j)], negative(j));
      out.line(record);
    }
  }
}
// FNV-1a, 64 bits, over the bytes of a file; the reader computes the same.
bool file_checksum(const std::string& path, u64* size, u64* sum) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return false;
  u64 h = 14695981039346656037u, n = 0;
  for (int c = std::getc(f); c != EOF; c = std::getc(f)) {
    h = (h ^ static_cast<unsigned char>(c)) * 1099511628211u;
    ++n;
  }
  const bool ok = std::ferror(f) == 0;
  std::fclose(f);
  *size = n;
  *sum = h;
  return ok;
}

// The checksums of every data file, written last: one line each, the name,
// the size in bytes and the checksum in 16 hexadecimal digits; then "end"
// and the checksum of the lines before it, so that the list checks itself.
void write_checksums(const std::string& dir) {
  const char* const names[] = {"pow228", "primelist", "pprods", "bprimes", "lrgpmes",
                               "f256d",  "f2t16d",    "Qerrs",  "chdat"};
  std::string list;
  for (const char* name : names) {
    u64 size = 0, sum = 0;
    if (!file_checksum(dir + "/" + name, &size, &sum)) fail(std::string("cannot read back ") + name);
    char text[80];
    std::snprintf(text, sizeof text, "%s %llu %016llx\n", name, static_cast<unsigned long long>(size),
                  static_cast<unsigned long long>(sum));
    list += text;
  }
  u64 h = 14695981039346656037u;
  for (const char c : list) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211u;
  char end[40];
  std::snprintf(end, sizeof end, "end %016llx", static_cast<unsigned long long>(h));
  Out out(dir, "checksums");
  list.pop_back();  // Out::line ends each line itself
  out.line(list);
  out.line(end);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) fail("usage: make_tables DIRECTORY QERRS_SOURCE");
  const std::string dir = argv[1];
  const std::vector<u32> primes = sieve(65536);
  write_pow228(dir);
  write_prime_files(dir, primes);
  write_field_file(dir, "f256d", 0x11D, 8,
                   "GF(2^8): bit patterns 0..255 reduced by x^8 + x^4 + x^3 + x^2 + 1");
  write_field_file(dir, "f2t16d", 0x1100B, 16,
                   "GF(2^16): bit patterns 0..65535 reduced by x^16 + x^12 + x^3 + x + 1");
  write_qerrs(dir, argv[2]);
  write_chdat(dir);
  Out(dir, "tvrstart.txt").line("100");
  write_checksums(dir);
  return 0;
}
