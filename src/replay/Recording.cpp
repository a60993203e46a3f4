// SPDX-License-Identifier: MIT
// Writing and strict reading of recorded games. A recording that is damaged, hostile or from an
// incompatible version is refused with a message; it is never replayed wrongly.
#include "replay/Recording.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <istream>
#include <limits>
#include <locale>
#include <ostream>
#include <sstream>
#include <string_view>

#include "form/KeptFile.h"
#include "form/QuotedRecords.h"
#include "replay/ControlNames.h"

namespace replay {

namespace {

// Room for the longest player name the table keeps, every character of it escaped.
constexpr std::size_t MaxLineLength = 2 * form::records::maxFieldBytes + 64;
constexpr std::size_t MaxEvents = Recording::maxEvents;
constexpr std::int64_t MaxGrid = std::int64_t{1} << 40;

struct KindName {
  Event::Kind kind;
  const char* name;
};
constexpr std::array<KindName, 10> KindNames = {{
    {Event::Kind::Start, "start"},
    {Event::Kind::Down, "down"},
    {Event::Kind::Up, "up"},
    {Event::Kind::Release, "release"},
    {Event::Kind::DblClick, "dblclick"},
    {Event::Kind::KeyDown, "keydown"},
    {Event::Kind::KeyPress, "keypress"},
    {Event::Kind::Menu, "menu"},
    {Event::Kind::Label, "label"},
    {Event::Kind::Close, "close"},
}};

const char* nameOf(Event::Kind kind) {
  for (const auto& k : KindNames)
    if (k.kind == kind) return k.name;
  return "?";
}

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + '"';
}

// Splits a line into words, in place: a word in double quotes may hold blanks, \" and \\, and is
// unescaped where it lies (it only shrinks). The words point into `line`.
bool splitWords(std::string& line, std::vector<std::string_view>& out) {
  out.clear();
  std::size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ') {
      ++i;
      continue;
    }
    const std::size_t from = i;
    if (line[i] == '"') {
      ++i;
      std::size_t to = from;
      bool closed = false;
      while (i < line.size()) {
        char c = line[i++];
        if (c == '"') {
          closed = true;
          break;
        }
        if (c == '\\') {
          if (i >= line.size()) return false;
          c = line[i++];
        }
        line[to++] = c;
      }
      if (!closed) return false;
      out.emplace_back(line.data() + from, to - from);
    } else {
      while (i < line.size() && line[i] != ' ') ++i;
      out.emplace_back(line.data() + from, i - from);
    }
  }
  return true;
}

template <class T>
bool number(std::string_view text, T& value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return !text.empty() && ec == std::errc() && ptr == end;
}

// The powers of ten a float holds exactly.
constexpr std::array<float, 11> ExactTens = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                             1e6f, 1e7f, 1e8f, 1e9f, 1e10f};

// A decimal number as the writer writes it: an optional minus, digits with an optional point, an
// optional exponent. Read in the classic locale, whatever the player's, and by the same code on
// every platform (the WebAssembly build's library has no from_chars for float). A number too small
// for a normal float is refused, as some libraries do and others do not.
//
// Most numbers are whole twips or a few decimals: their digits and their power of ten are both
// exact floats, so one float multiplication or division rounds them as the library would. Only
// the others go through the library's stream, which costs far more.
bool decimal(std::string_view text, float& value) {
  std::size_t i = 0;
  bool nonzero = false;
  std::uint32_t digitsValue = 0;
  bool exact = true;
  int tens = 0;  // the power of ten the digits are scaled by
  auto digits = [&](bool fraction) {
    const std::size_t from = i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
      nonzero |= text[i] != '0';
      if (digitsValue > (std::uint32_t{1} << 24) / 10) exact = false;
      digitsValue = digitsValue * 10 + static_cast<std::uint32_t>(text[i] - '0');
      tens -= fraction;
    }
    return i - from;
  };
  auto skip = [&](std::string_view chars) {
    if (i < text.size() && chars.find(text[i]) != chars.npos) return ++i, true;
    return false;
  };
  const bool negative = skip("-");
  std::size_t mantissa = digits(false);
  if (i < text.size() && text[i] == '.') {
    ++i;
    mantissa += digits(true);
  }
  exact &= digitsValue <= (std::uint32_t{1} << 24);
  const bool significant = nonzero;
  if (mantissa == 0) return false;
  if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
    ++i;
    const bool down = skip("+-") && text[i - 1] == '-';
    int power = 0;
    const std::size_t from = i;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
      power = std::min(power * 10 + (text[i] - '0'), 1000);
    if (i == from) return false;
    tens += down ? -power : power;
  }
  if (i != text.size()) return false;
  if (!significant) {
    value = negative ? -0.0f : 0.0f;
    return true;
  }
  if (exact && tens >= -10 && tens <= 10) {
    const auto whole = static_cast<float>(digitsValue);
    value = tens >= 0 ? whole * ExactTens[static_cast<std::size_t>(tens)]
                      : whole / ExactTens[static_cast<std::size_t>(-tens)];
    if (negative) value = -value;
    return true;
  }
  std::istringstream in{std::string(text)};
  in.imbue(std::locale::classic());
  if (!(in >> value)) return false;
  return std::fabs(value) >= std::numeric_limits<float>::min();
}

bool twips(std::string_view text, float& value) {
  return decimal(text, value) && std::isfinite(value) && std::fabs(value) <= 1e7f;
}

bool smallInt(std::string_view text, int& value, int lo, int hi) {
  return number(text, value) && value >= lo && value <= hi;
}

using Words = std::vector<std::string_view>;

class Reader {
public:
  // A text in memory is read where it lies; a stream as it goes, a line at a time.
  explicit Reader(std::string_view text) : text_(text) {}
  explicit Reader(std::istream& in) : in_(in.rdbuf()) {}

  ReadResult run() {
    Recording r;
    Words& w = words_;
    if (!next(w) || w.size() != 2 || w[0] != "cavewing-replay")
      return fail("not a Cavewing recording");
    int version = 0;
    if (!number(w[1], version) || version < 1 || version > Recording::version)
      return fail("recording version " + std::string(w[1]) +
                  " cannot be replayed by this version (it plays versions 1 to " +
                  std::to_string(Recording::version) + ")");
    if (!field(w, "system-tick-us", 2) || !number(w[1], r.systemTickUs) || r.systemTickUs < 1000 ||
        r.systemTickUs > 1'000'000)
      return fail("expected 'system-tick-us' with a tick from 1000 to 1000000");
    if (!field(w, "generator", 3) || w[1] != Recording::generator || !number(w[2], r.seed))
      return fail(std::string("expected 'generator ") + Recording::generator + " SEED'");
    if (version == 1) {
      // Version 1 knew only the two windows: the normal one and the wide one.
      int wide = 0;
      if (!field(w, "wide", 2) || !smallInt(w[1], wide, 0, 1))
        return fail("expected 'wide 0' or 'wide 1'");
      r.outerWidth = wide == 1 ? Recording::wideOuterWidth : Recording::normalOuterWidth;
    } else if (!field(w, "outer-width", 2) || !twips(w[1], r.outerWidth) || r.outerWidth <= 0) {
      return fail("expected 'outer-width' with a width in twips");
    }
    if (!field(w, "player", 2)) return fail("expected 'player \"NAME\"'");
    r.player = w[1];
    if (!field(w, "events", 1)) return fail("expected 'events'");
    for (;;) {
      if (!next(w)) return fail("the recording ends without 'end'");
      if (!w.empty() && w[0] == "end") {
        if (w.size() != 2 || !number(w[1], r.endGrid) || r.endGrid < 0 || r.endGrid > MaxGrid)
          return fail("expected 'end GRID'");
        if (!r.events.empty() && r.endGrid < r.events.back().grid)
          return fail("the recording ends before its last event");
        if (r.endGrid > Recording::lastGrid(r.systemTickUs))
          return fail("the recording is longer than " + Recording::longestSpan(r.systemTickUs));
        break;
      }
      Event e;
      if (!event(w, e)) return fail("bad event");
      if (!r.events.empty() && e.grid < r.events.back().grid)
        return fail("events out of order: grid point " + std::to_string(e.grid) + " after " +
                    std::to_string(r.events.back().grid));
      if (r.events.size() >= MaxEvents) return fail("too many events");
      r.events.push_back(std::move(e));
    }
    if (next(w) || !error_.empty()) return fail("text after 'end'");
    return {std::move(r), {}};
  }

private:
  // One line into line_, read no further than its bound: an endless line must not fill the
  // memory. Each byte counts towards the recording's bound, its newline too.
  bool boundedLine() {
    line_.clear();
    if (in_) {
      for (;;) {
        const int c = in_->sbumpc();
        if (c == std::char_traits<char>::eof()) return !line_.empty();
        if (++bytes_ > Recording::maxBytes) return tooLarge();
        if (c == '\n') return true;
        if (line_.size() == MaxLineLength) return tooLong();
        line_ += static_cast<char>(c);
      }
    }
    if (text_.empty()) return false;
    const std::size_t newline = text_.find('\n');
    const std::size_t length = newline == text_.npos ? text_.size() : newline;
    const std::size_t taken = newline == text_.npos ? length : length + 1;
    // The first byte past a bound decides which bound the line broke, as when read a byte at a
    // time.
    const std::size_t room = Recording::maxBytes - bytes_;
    if (taken > room && (length <= MaxLineLength || room <= MaxLineLength)) return tooLarge();
    if (length > MaxLineLength) return tooLong();
    bytes_ += taken;
    line_.assign(text_.substr(0, length));
    text_.remove_prefix(taken);
    return true;
  }
  bool tooLarge() {
    error_ = "the recording is larger than " + std::to_string(Recording::maxBytes) + " bytes";
    return false;
  }
  bool tooLong() {
    error_ = "line too long";
    return false;
  }

  bool next(Words& w) {
    for (;;) {
      const bool read = boundedLine();
      if (read || !error_.empty()) ++lineNo_;  // a line too long is the next line
      if (!read) return false;
      if (!line_.empty() && line_.back() == '\r') line_.pop_back();
      for (const char c : line_)
        if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
          error_ = "control character in the recording";
          return false;
        }
      if (line_.empty() || line_[0] == '#') continue;
      if (!splitWords(line_, w)) {
        error_ = "unterminated quote";
        return false;
      }
      return true;
    }
  }

  bool field(Words& w, const char* name, std::size_t size) {
    return next(w) && w.size() == size && w[0] == name;
  }

  bool event(const Words& w, Event& e) {
    if (w.size() < 2 || !number(w[0], e.grid) || e.grid < 0 || e.grid > MaxGrid) {
      error_ = "expected an event: GRID KIND ...";
      return false;
    }
    const KindName* kind = nullptr;
    for (const auto& k : KindNames)
      if (w[1] == k.name) kind = &k;
    if (!kind) {
      error_ = "unknown event '" + std::string(w[1]) + "'";
      return false;
    }
    e.kind = kind->kind;
    const std::size_t args = w.size() - 2;
    switch (e.kind) {
      case Event::Kind::Down:
      case Event::Kind::Up:
        if (args != 5 || (w[2] != "form" && w[2] != "copter")) return false;
        e.onCopter = w[2] == "copter";
        return smallInt(w[3], e.button, 0, 7) && smallInt(w[4], e.shift, 0, 7) &&
               twips(w[5], e.x) && twips(w[6], e.y);
      case Event::Kind::KeyDown:
        return args == 2 && smallInt(w[2], e.code, 0, 255) && smallInt(w[3], e.shift, 0, 7);
      case Event::Kind::KeyPress:
        return args == 1 && smallInt(w[2], e.code, 0, 255);
      case Event::Kind::Menu:
        e.name = args == 1 ? w[2] : "";
        return args == 1 && isMenuCommand(e.name);
      case Event::Kind::Label:
        if (args == 2) e.name = w[2];
        return args == 2 && listLabelNamed(e.name) && smallInt(w[3], e.code, 0, 15);
      case Event::Kind::Start:
      case Event::Kind::Release:
      case Event::Kind::DblClick:
      case Event::Kind::Close:
        return args == 0;
    }
    return false;
  }

  // A damaged line says what is wrong with it, before what was expected there.
  ReadResult fail(const std::string& what) {
    return {std::nullopt,
            "line " + std::to_string(lineNo_) + ": " + (error_.empty() ? what : error_)};
  }

  std::string_view text_;
  std::streambuf* in_ = nullptr;
  std::string line_;
  Words words_;
  std::size_t bytes_ = 0;
  int lineNo_ = 0;
  std::string error_;
};

// A width or a position in twips, with every digit it needs to read back the same.
std::string exact(float value) {
  std::ostringstream text;
  text.precision(9);
  text << value;
  return text.str();
}

// A file's text, read as the reader goes: only a buffer of it is ever in memory. The reader
// bounds how much it takes, so a file that grows while it is read is still bounded.
class FileText : public std::streambuf {
public:
  explicit FileText(int fd) : fd_(fd) {}
  const std::string& error() const { return error_; }

protected:
  int_type underflow() override {
    for (;;) {
      const ssize_t n = ::read(fd_, buffer_.data(), buffer_.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) error_ = std::string("cannot read the file: ") + std::strerror(errno);
      if (n <= 0) return traits_type::eof();
      setg(buffer_.data(), buffer_.data(), buffer_.data() + n);
      return traits_type::to_int_type(buffer_[0]);
    }
  }

private:
  int fd_;
  std::array<char, 65536> buffer_{};
  std::string error_;
};

}  // namespace

std::string Recording::longestSpan(std::int64_t systemTickUs) {
  if (lastGrid(systemTickUs) == maxDurationUs / systemTickUs) return "a day of play";
  return std::to_string(maxGridPoints) + " grid points (a day's at 64 a second)";
}

void write(std::ostream& out, const Recording& r) {
  out << "cavewing-replay " << Recording::version << "\n"
      << "system-tick-us " << r.systemTickUs << "\n"
      << "generator " << Recording::generator << " " << r.seed << "\n"
      << "outer-width " << exact(r.outerWidth) << "\n"
      << "player " << quoted(r.player) << "\n"
      << "events\n";
  for (const Event& e : r.events) {
    out << e.grid << " " << nameOf(e.kind);
    switch (e.kind) {
      case Event::Kind::Down:
      case Event::Kind::Up:
        out << " " << (e.onCopter ? "copter" : "form") << " " << e.button << " " << e.shift << " "
            << exact(e.x) << " " << exact(e.y);
        break;
      case Event::Kind::KeyDown:
        out << " " << e.code << " " << e.shift;
        break;
      case Event::Kind::KeyPress:
        out << " " << e.code;
        break;
      case Event::Kind::Menu:
        out << " " << e.name;
        break;
      case Event::Kind::Label:
        out << " " << e.name << " " << e.code;
        break;
      default:
        break;
    }
    out << "\n";
  }
  out << "end " << r.endGrid << "\n";
}

ReadResult read(std::istream& in) { return Reader(in).run(); }

ReadResult read(std::string_view text) { return Reader(text).run(); }

ReadResult readFile(const std::string& path) {
  const auto refuse = [](const std::string& why) { return ReadResult{std::nullopt, why}; };
  // Non-blocking, so that a pipe in the file's place cannot hang the program.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return refuse(std::string("cannot open the file: ") + std::strerror(errno));
  struct stat st {};
  std::string error;
  if (::fstat(fd, &st) != 0)
    error = std::string("cannot read the file: ") + std::strerror(errno);
  else if (S_ISDIR(st.st_mode))
    error = "it is a directory, not a recording";
  else if (!S_ISREG(st.st_mode))
    error = "it is not a regular file";
  else if (static_cast<std::uint64_t>(st.st_size) > Recording::maxBytes)
    error = "the recording is larger than " + std::to_string(Recording::maxBytes) + " bytes";
  ReadResult result;
  if (error.empty()) {
    FileText text(fd);
    std::istream in(&text);
    result = read(in);
    error = text.error();
  }
  ::close(fd);
  return error.empty() ? result : refuse(error);
}

bool writeFile(const std::string& path, const Recording& recording, const std::string& comment,
               std::string& error) {
  std::ostringstream text;
  if (!comment.empty()) text << "# " << comment << "\n";
  write(text, recording);
  return form::keepFile(path, text.str(), error);
}

}  // namespace replay
