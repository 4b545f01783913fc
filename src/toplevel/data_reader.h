// Formatted reading of the start-up data files: a reader over one file and
// the reading of multi-limb numbers, for the readers of the character-set
// table (toplevel/) and of the other data files (frontend/).
#pragma once

#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

#include "core/no_copy.h"
#include "core/records.h"
#include "numbers/freelists.h"
#include "numbers/node_handles.h"

namespace tavrin {

constexpr std::int64_t max_table_limbs = 4096;  // far above any table entry

// Formatted reading of one data file. After the first value that cannot be
// read (end of file, not a number, out of range) every further read gives 0.
class DataReader : NoCopy {
 public:
  DataReader() = default;
  ~DataReader() { close(); }

  bool open(const std::string& path) {
    close();
    file_ = std::fopen(path.c_str(), "r");
    ok_ = file_ != nullptr;
    return ok_;
  }
  void close() {
    if (file_ != nullptr) std::fclose(file_);
    file_ = nullptr;
    ok_ = false;
  }
  bool is_open() const { return file_ != nullptr; }
  bool ok() const { return ok_; }
  void fail() { ok_ = false; }

  // The next integer of the file (the readers' "%li" and "%ld").
  std::int64_t li() { return scan("%li"); }
  std::int64_t ld() { return scan("%ld"); }
  // A value of a 32-bit table, read with "%ld".
  std::int32_t word() { return narrow<std::int32_t>(); }
  // The next line, its line end included when it has one (any length);
  // false at the end of the file.
  bool line(std::string& text) {
    text.clear();
    if (!ok_) return false;
    for (int c = std::getc(file_); c != EOF; c = std::getc(file_)) {
      text.push_back(static_cast<char>(c));
      if (c == '\n') break;
    }
    if (text.empty()) fail();
    return !text.empty();
  }
  // "%s": the next word (characters up to white space) into text.
  bool word(std::string& text) {
    text.clear();
    if (!ok_) return false;
    int c = std::getc(file_);
    while (white(c)) c = std::getc(file_);
    for (; c != EOF && !white(c); c = std::getc(file_)) text.push_back(static_cast<char>(c));
    if (c != EOF) std::ungetc(c, file_);
    if (text.empty()) fail();
    return !text.empty();
  }
  // "%hd".
  std::int16_t hd() { return narrow<std::int16_t>(); }

 private:
  // White space as "%s" and "%ld" skip it.
  static bool white(int c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
  }

  // The next "%ld" value as an Int; one outside Int's range fails the reader
  // and gives 0.
  template <class Int>
  Int narrow() {
    const std::int64_t v = ld();
    if (v < std::numeric_limits<Int>::min() || v > std::numeric_limits<Int>::max()) {
      fail();
      return 0;
    }
    return static_cast<Int>(v);
  }

  // A decimal integer as "%ld" reads it: white space, an optional sign,
  // digits (the data files hold no other forms). Read by hand with
  // getc_unlocked: fscanf was most of the start-up time.
  std::int64_t scan(const char*) {
    if (!ok_) return 0;
    int c = getc_unlocked(file_);
    while (white(c)) c = getc_unlocked(file_);
    bool negative = false;
    if (c == '-' || c == '+') {
      negative = c == '-';
      c = getc_unlocked(file_);
    }
    if (c < '0' || c > '9') {
      fail();
      return 0;
    }
    std::uint64_t v = 0;
    for (; c >= '0' && c <= '9'; c = getc_unlocked(file_)) {
      if (v > (std::uint64_t{1} << 62)) {  // far beyond any value of the files
        fail();
        return 0;
      }
      v = v * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (c != EOF) std::ungetc(c, file_);
    return negative ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
  }

  std::FILE* file_ = nullptr;
  bool ok_ = false;
};

// x := the `count` limbs of base `base` read next, with "%li" (with "%ld"
// when `plain_decimal`), `first` being the first limb when the caller has
// read it already; flote := their value, lint := 0. With `with_sign` the
// limbs of a negative number are all negative or zero (every limb carries
// the number's sign); otherwise they are non-negative.
// A count or limb out of range, a leading zero limb, limbs of both signs or
// a failed read fail the reader and leave x as it was.
inline void read_limbs(DataReader& in, std::int64_t count, std::int32_t base, number& x,
                       const std::int64_t* first = nullptr, bool plain_decimal = false,
                       bool with_sign = false) {
  if (!in.ok()) return;
  if (count < 1 || count > max_table_limbs) {
    in.fail();
    return;
  }
  numptr head = nullptr, tail = nullptr;
  long double value = 0;
  bool negative = false;
  for (std::int64_t k = 0; k < count; ++k) {
    const std::int64_t v = (k == 0 && first != nullptr) ? *first
                           : plain_decimal              ? in.ld()
                                                        : in.li();
    const bool bad_leading_zero = k == 0 && v == 0 && count > 1;
    if (k == 0) negative = v < 0;
    const bool bad_sign = negative ? v > 0 || !with_sign : v < 0;
    if (!in.ok() || bad_sign || v <= -base || v >= base || bad_leading_zero) {
      in.fail();
      free_limb_list(head, tail);
      return;
    }
    numptr l = new_limb();
    l->value = static_cast<std::int32_t>(v);
    l->next = nullptr;
    nodes::append_node(head, tail, l);
    value = value * base + static_cast<long double>(v);
  }
  special_free(&x);
  x.head = head;
  x.tail = tail;
  x.size = static_cast<std::int16_t>(count);
  x.lint = 0;
  x.flote = value;
  x.imag = nullptr;
}

}  // namespace tavrin
