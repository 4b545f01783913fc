// The line reader behind every input stream, and the timing line.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "toplevel/platform.h"
#include "frontend/startup.h"
#include "support/bigref.h"

namespace tavrin::test {
namespace {

// Reading a file through TextInput gives its bytes in order, whatever the
// mix of get, peek and push-back, for lines of any length.
TEST(TextInput, GivesTheBytesOfAFileInOrder) {
  std::mt19937_64 rng(test_seed());
  for (int round = 0; round < test_iterations(20); ++round) {
    std::string text;
    const int lines = static_cast<int>(rng() % 6);
    for (int k = 0; k < lines; ++k) {
      const std::size_t len = rng() % 3 == 0 ? 5000 + rng() % 5000 : rng() % 20;
      for (std::size_t j = 0; j < len; ++j) {
        const int c = static_cast<int>(rng() % 255) + 1;  // any byte but 0 and the line end
        text += static_cast<char>(c == '\n' ? 'x' : c);
      }
      if (rng() % 5 != 0) text += '\n';
    }
    std::FILE* f = std::tmpfile();
    ASSERT_NE(f, nullptr);
    std::fwrite(text.data(), 1, text.size(), f);
    std::rewind(f);
    TextInput in(f, true);
    std::string got;
    for (;;) {
      const int op = static_cast<int>(rng() % 4);
      if (op == 0) {
        const int c = in.peek();
        if (c == EOF) break;
        ASSERT_EQ(in.get(), c) << "peek shows what get takes";
        got += static_cast<char>(c);
      } else if (op == 1 && !got.empty()) {
        in.unget(static_cast<unsigned char>(got.back()));
        got.pop_back();
      } else {
        const int c = in.get();
        if (c == EOF) break;
        got += static_cast<char>(c);
      }
    }
    ASSERT_TRUE(got == text) << "round " << round << ": " << got.size() << " of " << text.size()
                             << " bytes, first difference at "
                             << std::mismatch(got.begin(), got.end(), text.begin()).first -
                                    got.begin();
    EXPECT_TRUE(in.at_eof());
    EXPECT_EQ(in.get(), EOF) << "the end is sticky";
  }
}

TEST(TextInput, DroppingTheRestOfALine) {
  TextInput in("ab\ncd\nef\n");
  in.drop_line();
  EXPECT_EQ(in.get(), 'a') << "nothing to drop before the first line is begun";
  in.drop_line();
  EXPECT_EQ(in.get(), 'c') << "the rest of the begun line goes, its line end too";
  EXPECT_EQ(in.get(), 'd');
  EXPECT_EQ(in.get(), '\n');
  in.drop_line();
  EXPECT_EQ(in.get(), 'e') << "a line read to its end leaves the next one whole";
  in.skip_line();
  EXPECT_TRUE(in.at_eof());
  in.drop_line();
  EXPECT_EQ(in.get(), EOF);

  TextInput pushed("xy\nz");
  EXPECT_EQ(pushed.get(), 'x');
  pushed.unget('x');
  EXPECT_EQ(pushed.peek(), 'x') << "push-back comes first";
  pushed.skip_line();
  EXPECT_EQ(pushed.get(), 'z');
}

// The lines shown after an error in a file: the rest of the current line
// (unless it is white space) and the next ones, three in all, read ahead
// without being taken, from a file and from text alike.
TEST(TextInput, LinesAheadAreShownButNotTaken) {
  std::mt19937_64 rng(test_seed());
  for (int round = 0; round < test_iterations(200); ++round) {
    std::string text;
    const int lines = static_cast<int>(rng() % 6);
    for (int k = 0; k < lines; ++k) {
      const int len = static_cast<int>(rng() % 7);
      for (int j = 0; j < len; ++j) text += "ab \t"[rng() % 4];
      if (k + 1 < lines || rng() % 2 == 0) text += '\n';
    }
    std::FILE* f = std::tmpfile();
    std::fputs(text.c_str(), f);
    std::rewind(f);
    TextInput from_file(f, true);
    TextInput from_text(text);
    for (TextInput* in : {&from_file, &from_text}) {
      std::string got;
      std::size_t pos = 0;
      int calls = 0;
      for (int c = in->get(); c != EOF; c = in->get(), ++pos) {
        got += static_cast<char>(c);
        if (rng() % 3 != 0 || calls++ > 4) continue;
        // The reference: split what follows position pos + 1 into lines.
        std::vector<std::string> expected;
        std::size_t at = pos + 1;
        bool first = c != '\n';
        while (at < text.size() && expected.size() < 3) {
          std::size_t end = text.find('\n', at);
          if (end == std::string::npos) end = text.size();
          const std::string line = text.substr(at, end - at);
          if (!first || line.find_first_not_of(" \t") != std::string::npos)
            expected.push_back(line);
          first = false;
          at = end + 1;
        }
        EXPECT_EQ(in->lines_ahead(3), expected) << "at " << pos << " of \"" << text << "\"";
      }
      EXPECT_EQ(got, text) << "looking ahead takes nothing";
    }
  }
}

// The four forms of the timing line, chosen by the elapsed wall-clock time.
TEST(TimingLine, FormsByElapsedTime) {
  struct Case {
    std::uint32_t real, ticks;
    const char* line;
  };
  const Case cases[] = {
      {0, 250000, " Elapsed CPU time:  0.250\n"},
      {4, 3999999, " Elapsed CPU time:  3.999\n"},
      {5, 1500, " Elapsed real time:  5.  CPU time:  0.001\n"},
      {59, 61000000, " Elapsed real time: 59.  CPU time:  1.000\n"},
      {60, 0, " Elapsed real time:  1: 0.  CPU time: 0: 0.000\n"},
      {3599, 125678000, " Elapsed real time: 59:59.  CPU time: 2: 5.678\n"},
      {3600 * 2 + 61, 3725000001u, " Elapsed real time: 2: 1: 1.  CPU time: 62: 5.000\n"},
      {5, 1250000, " Elapsed real time:  5.  CPU time:  1.250\n"},
      {125, 61000000, " Elapsed real time:  2: 5.  CPU time: 1: 1.000\n"},
      {3725, 3723500000u, " Elapsed real time: 1: 2: 5.  CPU time: 62: 3.500\n"},
      {0, 999600, " Elapsed CPU time:  0.999\n"},  // milliseconds, never rounded up
  };
  for (const Case& c : cases) {
    char buf[200] = {};
    std::FILE* f = fmemopen(buf, sizeof buf, "w");
    ASSERT_NE(f, nullptr);
    write_timing_line(f, c.real, c.ticks);
    std::fclose(f);
    EXPECT_STREQ(buf, c.line);
  }
}

TEST(Clocks, ProcessorTimeAdvances) {
  const std::uint32_t before = cpu_ticks();
  volatile double sink = 0;
  for (int k = 0; k < 20000000; ++k) sink = sink + k * 0.5;
  const std::uint32_t spent = cpu_ticks() - before;
  EXPECT_GT(spent, 0u);
  EXPECT_LT(spent, 60000000u);
  EXPECT_GT(wall_seconds(), 1600000000u);
}

}  // namespace
}  // namespace tavrin::test
