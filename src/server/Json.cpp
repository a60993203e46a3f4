// SPDX-License-Identifier: MIT
#include "server/Json.h"

#include <cstdint>

#include "form/Utf8Text.h"

namespace server::json {

namespace {

constexpr const char* Hex = "0123456789abcdef";

class Reader {
public:
  explicit Reader(std::string_view text) : text_(text) {}

  std::optional<std::map<std::string, std::string>> object() {
    std::map<std::string, std::string> out;
    if (!take('{')) return std::nullopt;
    if (!take('}')) {
      do {
        auto key = string();
        if (!key || !take(':')) return std::nullopt;
        auto value = string();
        if (!value) return std::nullopt;
        out[*key] = std::move(*value);
      } while (take(','));
      if (!take('}')) return std::nullopt;
    }
    blanks();
    if (at_ != text_.size()) return std::nullopt;
    return out;
  }

private:
  void blanks() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
      ++at_;
  }
  bool take(char c) {
    blanks();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  std::optional<unsigned> hex4() {
    if (text_.size() - at_ < 4) return std::nullopt;
    unsigned value = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[at_++];
      const auto digit = std::string_view(Hex).find(static_cast<char>(c | 0x20));
      if (digit == std::string_view::npos) return std::nullopt;
      value = value * 16 + static_cast<unsigned>(digit);
    }
    return value;
  }

  std::optional<std::string> string() {
    if (!take('"')) return std::nullopt;
    std::string out;
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c == '"') return out;
      if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;
      if (c != '\\') {
        out += c;
        continue;
      }
      if (at_ == text_.size()) return std::nullopt;
      const char e = text_[at_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out += e;
          break;
        case 'b':
          out += '\b';
          break;
        case 'f':
          out += '\f';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'u': {
          auto code = hex4();
          if (!code) return std::nullopt;
          std::uint32_t full = *code;
          if (full >= 0xd800 && full < 0xdc00) {
            // A pair of surrogates makes one character; half a pair is no text.
            if (!take('\\') || at_ == text_.size() || text_[at_++] != 'u') return std::nullopt;
            auto low = hex4();
            if (!low || *low < 0xdc00 || *low >= 0xe000) return std::nullopt;
            full = 0x10000 + ((full - 0xd800) << 10) + (*low - 0xdc00);
          } else if (full >= 0xdc00 && full < 0xe000) {
            return std::nullopt;
          }
          form::utf8::append(out, full);
          break;
        }
        default:
          return std::nullopt;
      }
    }
    return std::nullopt;
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace

std::string quoted(std::string_view text) {
  std::string out = "\"";
  // Text kept by an older server may hold bytes that are no character: each is shown as U+FFFD.
  for (const char32_t c : form::utf8::decode(text)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == '<' || c == '>' || c == '&' || c == 0x7f) {
      out += "\\u00";
      out += Hex[c >> 4];
      out += Hex[c & 15];
    } else {
      form::utf8::append(out, c);
    }
  }
  return out + '"';
}

std::optional<std::map<std::string, std::string>> stringObject(std::string_view text) {
  return Reader(text).object();
}

std::string error(std::string_view why) { return "{\"error\":" + quoted(why) + "}"; }

}  // namespace server::json
