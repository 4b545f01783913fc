// The services of the operating system that the top level uses: the two
// clocks of the timing lines, the terminal interrupt, and the line reader
// behind every input stream (standard input, command files, the start-up
// file).
#pragma once

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <string>

namespace tavrin {

// ---- Clocks -------------------------------------------------------------------
// Wall-clock seconds since the epoch, modulo 2^32.
std::uint32_t wall_seconds();
// Processor time used by the process, in ticks of one microsecond, modulo
// 2^32 (differences of two readings are right across one wrap).
std::uint32_t cpu_ticks();

// ---- Terminal interrupt -------------------------------------------------------
// Set to 1 by the SIGINT handler, which does nothing else. The command loop
// polls it at safe points and clears it.
extern volatile std::sig_atomic_t interrupt_requested;

// Installs the SIGINT handler with sigaction, without SA_RESTART, so that a
// read waiting at the prompt returns (TextInput then calls its interrupt
// hook and reads on).
void install_interrupt_handler();

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
  // No character is left (blocks for the next line at a terminal).
  bool at_eof() { return peek() == EOF; }
  // Drops what is left of the current line, line end included, when part of
  // the line has been taken; a line not begun is kept. Never seeks.
  void drop_line();
  // Takes characters up to and including the next line end (or to the end).
  void skip_line();

  // Called when a read was interrupted by a signal, before the read is
  // retried; nil by default. The command loop installs its interrupt check.
  static void (*on_interrupt)();

 private:
  bool fill();  // reads the next line into the buffer; false at the end

  std::FILE* file_;  // nil: the text is text_
  bool owned_;
  bool ended_ = false;
  std::string text_;
  std::size_t text_pos_ = 0;
  std::string buf_;
  std::size_t pos_ = 0;
};

// The reader of standard input (one for the whole run). Every read of
// standard input goes through it: it holds the current line, so a read that
// bypassed it would lose characters.
TextInput& standard_input();

}  // namespace tavrin
