// SPDX-License-Identifier: MIT
// Quoted-field text records: a file of text fields, each written in double quotes on a line of
// its own ended by CR LF. Reading also takes unquoted fields and several fields on one line,
// separated by commas. Damaged files are read as far as they make sense, within fixed bounds.
// Reading and saving the file itself is the business of form/KeptFile.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace form::records {

// Bounds that keep a damaged or huge file from stalling a reader.
inline constexpr std::size_t maxFieldBytes = 4096;        // a longer field is cut here
inline constexpr std::size_t maxFileBytes = 1024 * 1024;  // the rest of a bigger file is ignored

// The fields of `text`, at most `maxFields` of them. A quoted field is the text between its
// quotes; a quote left open ends with its line, so it harms only its own field; text after the
// closing quote up to the next separator is dropped. An unquoted field is its text with the blanks
// around it trimmed; a number among them is given in its decimal form ("0200" is "200"). A line
// break at the very end of the text starts no further field, and a UTF-8 byte order mark at its
// start is skipped.
std::vector<std::string> parse(std::string_view text, std::size_t maxFields);

// The file form of `fields`: each one quoted on its own CR LF line, made plain first.
std::string format(const std::vector<std::string>& fields);

// A field as it can stand between two quotes on one line: a double quote becomes an apostrophe,
// control characters (line breaks, tabs and the rest) are dropped. Nothing else changes.
std::string plainField(std::string_view text);

}  // namespace form::records
