#include "toplevel/platform.h"

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

void (*TextInput::on_interrupt)() = nullptr;

TextInput::TextInput(std::FILE* file, bool owned) : file_(file), owned_(owned) {
  if (file_ == nullptr) ended_ = true;
}

TextInput::TextInput(std::string text) : file_(nullptr), owned_(false), text_(std::move(text)) {}

TextInput::~TextInput() {
  if (owned_ && file_ != nullptr) std::fclose(file_);
}

TextInput::line_read TextInput::read_line(std::string* line, bool allow_interrupt) {
  line->clear();
  if (ended_) return line_read::end;
  if (file_ == nullptr) {  // text held in memory
    const std::size_t end = text_.find('\n', text_pos_);
    const std::size_t stop = end == std::string::npos ? text_.size() : end + 1;
    line->assign(text_, text_pos_, stop - text_pos_);
    text_pos_ = stop;
    if (text_pos_ >= text_.size()) ended_ = true;
    return line->empty() ? line_read::end : line_read::line;
  }
  for (;;) {
    const int c = std::getc(file_);
    if (c == EOF) {
      if (std::ferror(file_) && errno == EINTR) {
        std::clearerr(file_);
        if (allow_interrupt && line->empty()) return line_read::interrupted;
        continue;
      }
      ended_ = true;
      break;
    }
    line->push_back(static_cast<char>(c));
    if (c == '\n') break;
  }
  return line->empty() ? line_read::end : line_read::line;
}

bool TextInput::fill() {
  for (;;) {
    buf_.clear();
    pos_ = 0;
    put_back_ = false;
    if (!ahead_.empty()) {
      buf_ = std::move(ahead_.front());
      ahead_.pop_front();
      return true;
    }
    if (on_interrupt != nullptr && file_ == stdin) {
      // An interrupt that came before this wait for the terminal is answered
      // as one that comes during it.
      on_interrupt();
      if (pos_ < buf_.size()) return true;
      if (!ahead_.empty()) continue;
    }
    std::string line;
    const line_read r = read_line(&line, on_interrupt != nullptr);
    if (r != line_read::interrupted) {
      buf_ = std::move(line);
      return r == line_read::line;
    }
    on_interrupt();
    // A nested command level may have read from this stream meanwhile.
    if (pos_ < buf_.size()) return true;
  }
}

std::vector<std::string> TextInput::lines_ahead(int count) {
  std::vector<std::string> lines;
  auto without_line_end = [](std::string s) {
    if (!s.empty() && s.back() == '\n') s.pop_back();
    return s;
  };
  if (pos_ < buf_.size()) {
    const std::string rest = without_line_end(buf_.substr(pos_));
    if (rest.find_first_not_of(" \t\r") != std::string::npos) lines.push_back(rest);
  }
  for (const std::string& l : ahead_) {
    if (static_cast<int>(lines.size()) >= count) return lines;
    lines.push_back(without_line_end(l));
  }
  while (static_cast<int>(lines.size()) < count) {
    std::string line;
    if (read_line(&line, false) != line_read::line) break;
    lines.push_back(without_line_end(line));
    ahead_.push_back(std::move(line));
  }
  return lines;
}

bool TextInput::only_white_space_left() {
  auto blank = [](const std::string& s, std::size_t from) {
    return s.find_first_not_of(" \t\r\n\v\f", from) == std::string::npos;
  };
  if (pos_ < buf_.size() && !blank(buf_, pos_)) return false;
  for (const std::string& l : ahead_)
    if (!blank(l, 0)) return false;
  for (;;) {
    std::string line;
    if (read_line(&line, false) != line_read::line) return true;
    ahead_.push_back(line);
    if (!blank(line, 0)) return false;
  }
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
  if ((pos_ > 0 || put_back_) && pos_ < buf_.size()) pos_ = buf_.size();
}

std::string TextInput::take_rest_of_line() {
  if ((pos_ == 0 && !put_back_) || pos_ >= buf_.size()) return {};
  std::string rest = buf_.substr(pos_);
  pos_ = buf_.size();
  return rest;
}

void TextInput::put_back(std::string_view text) {
  buf_.replace(0, pos_, text);
  pos_ = 0;
  put_back_ = true;
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
