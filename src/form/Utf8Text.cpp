// SPDX-License-Identifier: MIT
// UTF-8 decoding and encoding, just enough for upper-casing by the generated table of runs.
#include "form/Utf8Text.h"

#include <algorithm>

#include "form/UpperCaseTable.h"

namespace form::utf8 {

namespace {

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The length of the well-formed character at the start of `text`, 0 when it is not one
// (a stray or missing continuation byte, an overlong form, a surrogate, beyond U+10FFFF).
std::size_t characterLength(std::string_view text, char32_t& code) {
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = b(0);
  std::size_t length = 0;
  char32_t minimum = 0;
  if (lead < 0x80) {
    code = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, code = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if (!isContinuation(b(i))) return 0;
    code = (code << 6) | (b(i) & 0x3F);
  }
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  return code < minimum || code > 0x10FFFF || surrogate ? 0 : length;
}

char32_t upper(char32_t code) {
  const auto& runs = unicode::upperRuns;
  // The last run that starts at or before the code point.
  const auto after =
      std::upper_bound(runs.begin(), runs.end(), code,
                       [](char32_t c, const unicode::UpperRun& r) { return c < r.first; });
  if (after == runs.begin()) return code;
  const unicode::UpperRun& run = *(after - 1);
  if (code > run.last || (code - run.first) % run.stride != 0) return code;
  return static_cast<char32_t>(static_cast<std::int32_t>(code) + run.delta);
}

}  // namespace

void append(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::string upperCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    char32_t code = 0;
    const std::size_t length = characterLength(text, code);
    if (length == 0) {
      out += text[0];
      text.remove_prefix(1);
      continue;
    }
    append(out, upper(code));
    text.remove_prefix(length);
  }
  return out;
}

std::string_view cut(std::string_view text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t end = maxBytes;
  // Back off the continuation bytes of a character that would be split.
  while (end > 0 && isContinuation(static_cast<unsigned char>(text[end]))) --end;
  return text.substr(0, end);
}

std::u32string decode(std::string_view text) {
  std::u32string out;
  while (!text.empty()) {
    char32_t code = 0;
    const std::size_t length = characterLength(text, code);
    out += length == 0 ? U'\uFFFD' : code;
    text.remove_prefix(length == 0 ? 1 : length);
  }
  return out;
}

std::string wellFormed(std::string_view text) {
  std::string out;
  for (const char32_t code : decode(text)) append(out, code);
  return out;
}

bool valid(std::string_view text) {
  for (char32_t code = 0; !text.empty();) {
    const std::size_t length = characterLength(text, code);
    if (length == 0) return false;
    text.remove_prefix(length);
  }
  return true;
}

}  // namespace form::utf8
