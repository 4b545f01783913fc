// The services of the operating system that the top level uses: the two
// clocks of the timing lines, the terminal interrupt, and the line reader
// behind every input stream (standard input, command files, the start-up
// file).
#pragma once

#include <cstdint>
#include <cstdio>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "core/interrupts.h"

namespace tavrin {

// ---- Clocks -------------------------------------------------------------------
// Wall-clock seconds since the epoch, modulo 2^32.
std::uint32_t wall_seconds();
// Processor time used by the process, in ticks of one microsecond, modulo
// 2^32 (differences of two readings are right across one wrap).
std::uint32_t cpu_ticks();

// ---- Terminal interrupt -------------------------------------------------------
// The flag, the handler and the poll are in core/interrupts.h.

// ---- Input streams -------------------------------------------------------------
// A character stream read one line at a time. Characters are the values
// 0 .. 255 (bytes of 128 or more are ordinary characters); EOF is -1.
//
// The buffer holds the current line, line end included; `pos` counts the
// characters of it already taken. Characters pushed back are put in front of
// `pos`. End of file is sticky: once the file has ended, no further read is
// attempted.
class TextInput {
 public:
  // Reads from `file`; with `owned` the stream closes it.
  TextInput(std::FILE* file, bool owned);
  // Reads the characters of `text`, line by line as from a file.
  explicit TextInput(std::string text);
  ~TextInput();
  TextInput(const TextInput&) = delete;
  TextInput& operator=(const TextInput&) = delete;

  // Takes the next character; EOF at the end.
  int get();
  // The next character without taking it; EOF at the end.
  int peek();
  // Puts c (not EOF) back, to be taken next. One character of push-back is
  // what the readers use; more is kept too.
  void unget(int c);
  // The characters of the current line not yet taken (line end included),
  // without reading a further line; empty when none are left.
  std::string_view rest_of_line() const {
    return pos_ < buf_.size() ? std::string_view(buf_).substr(pos_) : std::string_view();
  }
  // Takes k characters of rest_of_line() at once (k at most its length).
  void take(std::size_t k) { pos_ += k; }
  // No character is left (blocks for the next line at a terminal).
  bool at_eof() { return peek() == EOF; }
  // Drops what is left of the current line, line end included, when part of
  // the line has been taken; a line not begun is kept. Never seeks.
  void drop_line();
  // Takes characters up to and including the next line end (or to the end).
  void skip_line();
  // Takes what drop_line drops and returns it ("" when it drops nothing).
  std::string take_rest_of_line();
  // Puts text back in front of what is left, to be read next (the rest of a
  // line that take_rest_of_line set aside); it counts as a line begun.
  void put_back(std::string_view text);
  // The text that follows, without taking any of it: the rest of the
  // current line when it holds more than white space, then the following
  // lines, `count` lines in all (fewer at the end), without their line ends.
  // Lines read for it are kept and read later as usual. A read interrupted
  // by a signal is retried without the interrupt hook.
  std::vector<std::string> lines_ahead(int count);
  // Nothing but white space is left: the rest of the current line and every
  // following line are blank. Reads ahead (keeping the lines read) up to the
  // first line that holds more, or to the end.
  bool only_white_space_left();

  // Called when a read at the start of a line was interrupted by a signal,
  // before the read is retried, and on standard input before each read of
  // a new line (an interrupt may be pending already); nil by default. The
  // command loop installs
  // its interrupt poll, which may open a nested command level that reads
  // this same stream: a line that level leaves begun is read on from where
  // it left off. A read interrupted in the middle of a line just goes on.
  static void (*on_interrupt)();

 private:
  enum class line_read { line, end, interrupted };
  bool fill();  // makes the next line current; false at the end
  // Reads one line (line end included) from the file or the text.
  line_read read_line(std::string* line, bool allow_interrupt);

  std::FILE* file_;  // nil: the text is text_
  bool owned_;
  bool ended_ = false;
  std::string text_;
  std::size_t text_pos_ = 0;
  std::string buf_;
  std::size_t pos_ = 0;
  bool put_back_ = false;          // the current line is the rest of a begun line
  std::deque<std::string> ahead_;  // lines read by lines_ahead, not yet current
};

// The reader of standard input (one for the whole run). Every read of
// standard input goes through it: it holds the current line, so a read that
// bypassed it would lose characters.
TextInput& standard_input();

}  // namespace tavrin
