// SPDX-License-Identifier: MIT
// Text in UTF-8 as the form's string functions see it: upper case by Unicode's simple mapping,
// the same on every machine whatever its locale, cutting a text to a size without splitting
// a character, and its characters one by one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace form::utf8 {

// Every character in its upper case (Unicode's simple mapping: one character for one, so "ß"
// stays). Bytes that are not valid UTF-8 pass through unchanged.
std::string upperCase(std::string_view text);

// The longest start of `text` that holds at most `maxBytes` bytes and ends on a character
// boundary.
std::string_view cut(std::string_view text, std::size_t maxBytes);

// Appends the character `code` to `out`, encoded in UTF-8.
void append(std::string& out, char32_t code);

// The characters of `text`; a byte that begins no well-formed character is U+FFFD.
std::u32string decode(std::string_view text);

// Whether every byte of `text` belongs to a well-formed character.
bool valid(std::string_view text);

// `text` with every byte that begins no well-formed character made U+FFFD.
std::string wellFormed(std::string_view text);

}  // namespace form::utf8
