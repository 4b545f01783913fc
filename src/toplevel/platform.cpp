#include "toplevel/platform.h"

#include <signal.h>

#include <cerrno>
#include <ctime>
#include <utility>

namespace tavrin {

std::uint32_t wall_seconds() {
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(std::time(nullptr)));
}

std::uint32_t cpu_ticks() {
  const std::clock_t c = std::clock();
  if (c == static_cast<std::clock_t>(-1)) return 0;
  const long double micro = static_cast<long double>(c) * 1000000.0L / CLOCKS_PER_SEC;
  return static_cast<std::uint32_t>(static_cast<std::uint64_t>(micro));
}

volatile std::sig_atomic_t interrupt_requested = 0;

namespace {

extern "C" void on_sigint(int) { interrupt_requested = 1; }

}  // namespace

void install_interrupt_handler() {
  struct sigaction sa {};
  sa.sa_handler = on_sigint;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no SA_RESTART: a waiting read returns
  sigaction(SIGINT, &sa, nullptr);
}

void (*TextInput::on_interrupt)() = nullptr;

TextInput::TextInput(std::FILE* file, bool owned) : file_(file), owned_(owned) {
  if (file_ == nullptr) ended_ = true;
}


TextInput::TextInput(std::string text) : file_(nullptr), owned_(false), text_(std::move(text)) {}

TextInput::~TextInput() {
  if (owned_ && file_ != nullptr) std::fclose(file_);
}

bool TextInput::fill() {
  buf_.clear();
  pos_ = 0;
  if (ended_) return false;
  if (file_ == nullptr) {  // text held in memory
    const std::size_t end = text_.find('\n', text_pos_);
    const std::size_t stop = end == std::string::npos ? text_.size() : end + 1;
    buf_.assign(text_, text_pos_, stop - text_pos_);
    text_pos_ = stop;
    if (text_pos_ >= text_.size()) ended_ = true;
    return !buf_.empty();
  }
  for (;;) {
    const int c = std::getc(file_);
    if (c == EOF) {
      if (std::ferror(file_) && errno == EINTR) {
        std::clearerr(file_);
        if (on_interrupt != nullptr) on_interrupt();
        continue;
      }
      ended_ = true;
      break;
    }
    buf_.push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  return !buf_.empty();
}

int TextInput::get() {
  if (pos_ >= buf_.size() && !fill()) return EOF;
  return static_cast<unsigned char>(buf_[pos_++]);
}

int TextInput::peek() {
  if (pos_ >= buf_.size() && !fill()) return EOF;
  return static_cast<unsigned char>(buf_[pos_]);
}

void TextInput::unget(int c) {
  if (c == EOF) return;
  const char ch = static_cast<char>(c);
  if (pos_ > 0) {
    buf_[--pos_] = ch;
  } else {
    buf_.insert(buf_.begin(), ch);
  }
}

void TextInput::drop_line() {
  if (pos_ > 0 && pos_ < buf_.size()) pos_ = buf_.size();
}

void TextInput::skip_line() {
  for (int c = get(); c != EOF && c != '\n'; c = get()) {
  }
}

TextInput& standard_input() {
  static TextInput in(stdin, false);
  return in;
}

}  // namespace tavrin
