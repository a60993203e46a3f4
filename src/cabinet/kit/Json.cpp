// SPDX-License-Identifier: MIT
// A strict recursive reader of JSON: whitespace, literals, numbers, strings with every escape
// (surrogate pairs into one UTF-8 character), arrays and objects; anything else is refused.
#include "cabinet/kit/Json.h"

#include <cstdint>

#include "form/Utf8Text.h"

namespace cabinet::kit::json {

namespace {

constexpr int DeepestNesting = 16;

class Reader {
public:
  explicit Reader(std::string_view text) : text_(text) {}

  std::optional<Value> whole() {
    Value v;
    if (!value(v, 0)) return std::nullopt;
    space();
    if (at_ != text_.size()) return std::nullopt;
    return v;
  }

private:
  void space() {
    while (at_ < text_.size() &&
           (text_[at_] == ' ' || text_[at_] == '\t' || text_[at_] == '\n' || text_[at_] == '\r'))
      ++at_;
  }
  bool take(char c) {
    space();
    if (at_ < text_.size() && text_[at_] == c) {
      ++at_;
      return true;
    }
    return false;
  }
  bool word(std::string_view w) {
    if (text_.substr(at_, w.size()) != w) return false;
    at_ += w.size();
    return true;
  }
  bool digits() {
    const std::size_t from = at_;
    while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9') ++at_;
    return at_ > from;
  }
  bool number(Value& v) {
    const std::size_t from = at_;
    if (at_ < text_.size() && text_[at_] == '-') ++at_;
    if (!digits()) return false;
    if (at_ < text_.size() && text_[at_] == '.' && (++at_, !digits())) return false;
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
      ++at_;
      if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
      if (!digits()) return false;
    }
    v.kind = Value::Kind::Number;
    v.text = std::string(text_.substr(from, at_ - from));
    return true;
  }
  bool hex4(std::uint32_t& out) {
    if (at_ + 4 > text_.size()) return false;
    out = 0;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[at_++];
      const int d = c >= '0' && c <= '9'   ? c - '0'
                    : c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                           : -1;
      if (d < 0) return false;
      out = out * 16 + static_cast<std::uint32_t>(d);
    }
    return true;
  }
  bool escape(std::string& to) {
    if (at_ >= text_.size()) return false;
    const char c = text_[at_++];
    constexpr std::string_view From = "\"\\/bfnrt", To = "\"\\/\b\f\n\r\t";
    if (const auto i = From.find(c); i != std::string_view::npos) {
      to += To[i];
      return true;
    }
    std::uint32_t code = 0;
    if (c != 'u' || !hex4(code)) return false;
    if (code >= 0xDC00 && code <= 0xDFFF) return false;  // a second half alone
    if (code >= 0xD800 && code <= 0xDBFF) {
      std::uint32_t low = 0;
      if (!word("\\u") || !hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
    }
    form::utf8::append(to, static_cast<char32_t>(code));
    return true;
  }
  bool string(std::string& to) {
    if (!take('"')) return false;
    while (at_ < text_.size()) {
      const char c = text_[at_++];
      if (c == '"') return true;
      if (static_cast<unsigned char>(c) < 0x20) return false;
      if (c != '\\')
        to += c;
      else if (!escape(to))
        return false;
    }
    return false;
  }
  bool value(Value& v, int depth) {
    if (depth > DeepestNesting) return false;
    space();
    if (at_ >= text_.size()) return false;
    const char c = text_[at_];
    if (c == '"') {
      v.kind = Value::Kind::String;
      return string(v.text);
    }
    if (c == '[') return array(v, depth);
    if (c == '{') return object(v, depth);
    for (const auto& [w, kind] :
         {std::pair{"null", Value::Kind::Null}, std::pair{"true", Value::Kind::Bool},
          std::pair{"false", Value::Kind::Bool}})
      if (word(w)) {
        v.kind = kind;
        v.text = w;
        return true;
      }
    return number(v);
  }
  bool array(Value& v, int depth) {
    ++at_;
    v.kind = Value::Kind::Array;
    if (take(']')) return true;
    do {
      v.items.emplace_back();
      if (!value(v.items.back(), depth + 1)) return false;
    } while (take(','));
    return take(']');
  }
  bool object(Value& v, int depth) {
    ++at_;
    v.kind = Value::Kind::Object;
    if (take('}')) return true;
    do {
      std::string key;
      if (!string(key) || !take(':')) return false;
      v.members.emplace_back(std::move(key), Value{});
      if (!value(v.members.back().second, depth + 1)) return false;
    } while (take(','));
    return take('}');
  }

  std::string_view text_;
  std::size_t at_ = 0;
};

}  // namespace

const Value* Value::operator[](std::string_view key) const {
  for (const auto& [name, value] : members)
    if (name == key) return &value;
  return nullptr;
}

std::optional<Value> parse(std::string_view text) { return Reader(text).whole(); }

}  // namespace cabinet::kit::json
