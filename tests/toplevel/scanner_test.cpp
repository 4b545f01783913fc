// The token scanner: tokens of streams (terminal and file) and of stored
// text, the ring of recent tokens, capturing a line as stored text, and the
// character sets and hash the parsers use.
#include <gtest/gtest.h>

#include <bitset>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "core/globals.h"
#include "core/mode_guard.h"
#include "numbers/freelists.h"
#include "toplevel/charsets.h"
#include "toplevel/scanner.h"
#include "toplevel/state.h"
#include "support/bigref.h"

namespace tavrin::test {
namespace {

// Scanner state for one test: a stream over `text`, the mode, an empty
// push-back and a fresh ring; all put back afterwards.
class ScanScope {
 public:
  ScanScope(const std::string& text, bool terminal)
      : in_(text),
        input_(Input, &in_),
        tt_(tt_flag, terminal),
        cont_(continuation, '`'),
        names_(namelength, 10),
        defs_(func_def_count, 0) {
    init_character_sets();
    make_token_ring();
    leftover[0] = '\0';
  }
  ~ScanScope() { leftover[0] = '\0'; }

  std::string next() {
    tokentipe t;
    scanner(&Input, &t, &zilch);
    EXPECT_EQ(t.address, -1) << "a token read from a stream has no bucket";
    return t.name;
  }
  TextInput& stream() { return in_; }

 private:
  TextInput in_;
  ScopedValue<FILEPtr> input_;
  ScopedValue<bool> tt_;
  ScopedValue<char> cont_;
  ScopedValue<std::int32_t> names_, defs_;
};

struct ScanCase {
  const char* what;
  const char* input;
  bool terminal;
  std::vector<std::string> tokens;  // the first tokens read
  int left_in_stream;               // next character afterwards (EOF for none)
};

TEST(Scanner, TokensOfStreams) {
  const std::vector<ScanCase> cases = {
      {"names are cut at 10", "abcdefghijkl", false, {"abcdefghij", "kl", ";"}, EOF},
      {"the 11th character begins the next token even when a digit",
       "abcdefghij5x",
       false,
       {"abcdefghij", "5", "x"},
       EOF},
      {"digits and _ inside a name", "x_1y2 +", false, {"x_1y2", "+", ";"}, EOF},
      {"a digit never begins a name", "3x", false, {"3", "x"}, EOF},
      {"no two-character tokens", ":= <= ->", false, {":", "=", "<", "=", "-", ">"}, EOF},
      {"a terminal line end after a name is ; and stays", "x\nnext", true, {"x", ";"}, '\n'},
      {"a terminal line end after blanks is ;", "x   \nnext", true, {"x", ";"}, '\n'},
      {"a line of blanks at the terminal is ;", "   \nnext", true, {";"}, '\n'},
      {"in a file line ends are blanks", "a\n\n  b\nc", false, {"a", "b", "c", ";"}, EOF},
      {"a tab after a name is a token, a blank is not",
       "x\ty z",
       false,
       {"x", "\t", "y", "z"},
       EOF},
      {"a carriage return after a name is a token", "x\r\n", true, {"x", "\r", ";"}, '\n'},
      {"the backquote discards the rest of its line",
       "a `junk ; junk\nb;",
       true,
       {"a", "b", ";"},
       EOF},
      {"the backquote inside a name ends it", "ab`junk\ncd", false, {"ab", "cd", ";"}, EOF},
      {"the backquote in a file too", "a`x\nb", false, {"a", "b", ";"}, EOF},
      {"bytes of 128 or more are one-character tokens",
       "\xC2\xA5q",
       false,
       {"\xC2", "\xA5", "q"},
       EOF},
      {"after end of file every call yields ;", "z", true, {"z", ";", ";", ";"}, EOF},
      {"an empty stream yields ;", "", false, {";", ";"}, EOF},
  };
  for (const ScanCase& c : cases) {
    ScanScope scope(c.input, c.terminal);
    std::vector<std::string> got;
    for (std::size_t k = 0; k < c.tokens.size(); ++k) got.push_back(scope.next());
    EXPECT_EQ(got, c.tokens) << c.what;
    EXPECT_EQ(scope.stream().peek(), c.left_in_stream) << c.what;
  }
}

// Random tokens joined by blanks and line ends read back as themselves from
// a file; at the terminal each line end adds a ";" after the line's tokens.
TEST(Scanner, RandomTokenStreamsReadBack) {
  std::mt19937_64 rng(test_seed());
  const std::string letters = "abcxyzABQZ", tail = "az09_Q",
                    symbols = "+-*/()[]<>=:,.!^|$%&?'#\"{}0123456789";
  for (int round = 0; round < test_iterations(200); ++round) {
    std::vector<std::vector<std::string>> lines(1 + rng() % 5);
    std::string text;
    for (auto& line : lines) {
      const int count = static_cast<int>(rng() % 7);
      for (int k = 0; k < count; ++k) {
        std::string t;
        if (rng() % 2 == 0) {
          t = letters[rng() % letters.size()];
          const int len = static_cast<int>(rng() % 10);
          for (int j = 0; j < len; ++j) t += tail[rng() % tail.size()];
        } else {
          t = symbols[rng() % symbols.size()];
        }
        line.push_back(t);
        text += std::string(1 + rng() % 3, ' ') + t;
      }
      text += std::string(rng() % 2, ' ') + "\n";
    }
    for (bool terminal : {false, true}) {
      ScanScope scope(text, terminal);
      std::vector<std::string> expect, got;
      for (const auto& line : lines) {
        for (const std::string& t : line) {
          expect.push_back(t);
          got.push_back(scope.next());
        }
        if (terminal) {  // the line end gives ";" and stays for the command loop to take
          expect.push_back(";");
          got.push_back(scope.next());
          EXPECT_EQ(scope.stream().get(), '\n');
        }
      }
      ASSERT_EQ(got, expect) << "seed " << test_seed() << " round " << round << " terminal "
                             << terminal << " text:\n"
                             << text;
      EXPECT_EQ(scope.next(), ";") << "the end of the text";
    }
  }
}

// The ring holds the names of the last 60 tokens read from a stream.
TEST(Scanner, RingKeepsTheLastSixtyTokens) {
  std::string text;
  for (int k = 1; k <= 61; ++k) text += "t" + std::to_string(k) + " ";
  ScanScope scope(text, false);
  for (int k = 1; k <= 61; ++k) ASSERT_EQ(scope.next(), "t" + std::to_string(k));
  std::vector<std::string> ring;
  for (nameptr p = start;; p = p->next) {
    ring.emplace_back(p->let.name);
    if (p == finish) break;
    ASSERT_LT(ring.size(), 61u);
  }
  ASSERT_EQ(ring.size(), 60u);
  EXPECT_EQ(ring.front(), "t2");
  EXPECT_EQ(ring.back(), "t61");

  // Recording starts afresh once finish is nil.
  finish = nullptr;
  TextInput more("u1 u2");
  ScopedValue<FILEPtr> input(Input, &more);
  tokentipe t;
  scanner(&Input, &t, &zilch);
  scanner(&Input, &t, &zilch);
  std::vector<std::string> fresh;
  for (nameptr p = start;; p = p->next) {
    fresh.emplace_back(p->let.name);
    if (p == finish) break;
  }
  EXPECT_EQ(fresh, (std::vector<std::string>{"u1", "u2"}));
}

// Stored text replays its tokens with their stored buckets; neither the
// stream nor the ring is touched.
TEST(Scanner, StoredTextReplaysTokensWithTheirAddresses) {
  ScanScope scope("stream", false);
  const std::vector<tokentipe> stored = {{"a", 97}, {"Func", 12}, {"+", -1}, {"\xC2\xA5", -1}};
  nameptr head;
  newname(&head);
  nameptr last = head;
  for (const tokentipe& t : stored) {
    nameptr node;
    newname(&node);
    node->let = t;
    last->next = node;
    last = node;
  }
  last->next = nullptr;

  const nameptr ring_finish = finish;
  nameptr cursor = head;
  for (std::size_t k = 0; k < stored.size(); ++k) {
    tokentipe t;
    scanner(&Input, &t, &cursor);
    EXPECT_STREQ(t.name, stored[k].name);
    EXPECT_EQ(t.address, stored[k].address);
    EXPECT_EQ(currentchar, cursor->next);
  }
  EXPECT_EQ(cursor, last);
  EXPECT_EQ(finish, ring_finish) << "replay records nothing";
  EXPECT_EQ(scope.next(), "stream") << "the stream was not read";
  freename(head);
}

// Capturing the rest of a line: the first statement up to its ";".
TEST(Scanner, SaveInputStreamCapturesOneStatement) {
  {
    ScanScope scope(" a := b1 + 2; c := 3;\nd", true);
    ScopedValue<bool> interrupts(command_int, true);
    nameptr p = nullptr;
    save_input_stream(&p);
    ASSERT_NE(p, nullptr);
    std::vector<std::string> got;
    for (nameptr q = p->next; q != nullptr; q = q->next) got.emplace_back(q->let.name);
    EXPECT_EQ(got, (std::vector<std::string>{"a", ":", "=", "b1", "+", "2", ";"}));
    EXPECT_EQ(scope.next(), "c") << "the second statement stays in the stream";
    EXPECT_TRUE(command_int) << "command_int is restored";
    freename(p);
  }
  {
    ScanScope scope(";\nx", true);
    nameptr p = nullptr;
    save_input_stream(&p);
    EXPECT_EQ(p, nullptr) << "a lone ; captures nothing";
  }
  {
    ScanScope scope("\nx", true);
    nameptr p = nullptr;
    save_input_stream(&p);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(scope.stream().peek(), '\n') << "nothing is read at a line end";
  }
  {
    // End of input ends a capture that never meets ";" outside a definition.
    ScanScope scope("f x", true);
    ScopedValue<std::int32_t> defining(func_def_count, 1);
    nameptr p = nullptr;
    save_input_stream(&p);
    ASSERT_NE(p, nullptr);
    int count = 0;
    for (nameptr q = p->next; q != nullptr; q = q->next) ++count;
    EXPECT_EQ(count, 3);  // f, x, ;
    freename(p);
  }
}

TEST(CharacterSets, MembershipAgainstABitset) {
  std::mt19937_64 rng(test_seed());
  for (int round = 0; round < 50; ++round) {
    stuff s;
    PSet_Init(&s, set_words);
    std::bitset<256> ref;
    for (int k = 0; k < 40; ++k) {
      const unsigned e = static_cast<unsigned>(rng() % 256);
      PSet_Set(&s, set_words, e);
      ref.set(e);
    }
    for (unsigned e = 0; e < 256; ++e) ASSERT_EQ(PSet_Test(&s, set_words, e), ref[e]) << e;
    // Element e is bit e % 16 of word 15 - e / 16.
    for (int w = 0; w < set_words; ++w)
      for (int b = 0; b < 16; ++b)
        ASSERT_EQ((s.word[w] >> b & 1) != 0, ref[static_cast<std::size_t>(16 * (15 - w) + b)]);
  }
  stuff all;
  PSet_Init(&all, set_words);
  PSet_Set(&all, set_words, 255);
  EXPECT_TRUE(PSet_Test(&all, set_words, 255));
  EXPECT_FALSE(PSet_Test(&all, set_words, 256));
  const char negative = static_cast<char>(0xFF);
  EXPECT_FALSE(PSet_Test(&all, set_words, static_cast<std::uint32_t>(static_cast<int>(negative))));

  init_character_sets();
  std::string members;
  for (int c = 0; c < 256; ++c)
    if (in_set(cond_set, c)) members += static_cast<char>(c);
  EXPECT_EQ(members, "<=>\xAD\xB2\xB3");
  EXPECT_TRUE(in_set(term_set, '(') && !in_set(iterm_set, '('));
  EXPECT_TRUE(in_set(arr_term_ops, '_') && !in_set(term_set, '_'));
}

TEST(Hash, KnownBucketsAndArrayLookup) {
  EXPECT_EQ(hash("a", 151), 97);
  EXPECT_EQ(hash("ab", 151), 100);
  EXPECT_EQ(hash("x", 71), 49);
  EXPECT_EQ(hash("", 151), 0);
  EXPECT_EQ(hash("\xFF", 151), 255 % 151) << "characters are unsigned bytes";

  // Three arrays in one chain of arr_store, found by name; a cached bucket
  // is used without hashing.
  arrnode a{}, b{}, c{};
  std::strcpy(a.name.name, "alpha");
  std::strcpy(b.name.name, "beta");
  std::strcpy(c.name.name, "gamma");
  a.start = 10;
  b.start = 20;
  c.start = 30;
  const std::int16_t bucket = hash("beta", 151);
  arrptr saved = arr_store[bucket];
  a.next = &b;
  b.next = &c;
  c.next = nullptr;
  arr_store[bucket] = &a;  // alpha and gamma sit in beta's chain here
  arrptr q = nullptr;
  tokentipe t{"beta", -1};
  EXPECT_EQ(fastestlookup(&t, &q), 20);
  EXPECT_EQ(q, &b);
  EXPECT_EQ(t.address, bucket) << "the bucket is cached in the token";
  tokentipe cached{"gamma", bucket};
  EXPECT_EQ(fastestlookup(&cached, &q), 30) << "found through the cached bucket";
  tokentipe hashed{"gamma", -1};
  EXPECT_EQ(fastestlookup(&hashed, &q), -1) << "its own bucket holds no gamma";
  EXPECT_EQ(q, nullptr);
  arr_store[bucket] = saved;
}

}  // namespace
}  // namespace tavrin::test
