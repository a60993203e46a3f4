// SPDX-License-Identifier: MIT
// Quoted-field text records: parsing and formatting of the fields, within fixed bounds.
#include "form/QuotedRecords.h"

#include <algorithm>

namespace form::records {

namespace {

bool isLineEnd(char c) { return c == '\r' || c == '\n'; }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Appends text[from, to) to `field`, up to the field's bound.
void appendBounded(std::string& field, std::string_view text, std::size_t from, std::size_t to) {
  if (field.size() >= maxFieldBytes) return;
  field.append(text.substr(from, std::min(to - from, maxFieldBytes - field.size())));
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// A field written as a plain decimal number (an optional sign, digits, an optional fraction) in
// its decimal form: no plus sign, no leading zeros, no trailing zeros in the fraction. Any other
// text stays as it is.
std::string decimalForm(std::string field) {
  std::string_view t = field;
  const bool negative = !t.empty() && t[0] == '-';
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) t.remove_prefix(1);
  const std::size_t point = t.find('.');
  std::string_view whole = t.substr(0, point);
  std::string_view fraction = point == std::string_view::npos ? "" : t.substr(point + 1);
  const auto allDigits = [](std::string_view s) {
    return std::all_of(s.begin(), s.end(), isDigit);
  };
  if (whole.size() + fraction.size() == 0 || !allDigits(whole) || !allDigits(fraction))
    return field;
  while (!whole.empty() && whole.front() == '0') whole.remove_prefix(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
  std::string number = whole.empty() ? "0" : std::string(whole);
  if (!fraction.empty()) number += "." + std::string(fraction);
  return negative && number != "0" ? "-" + number : number;
}

}  // namespace

std::vector<std::string> parse(std::string_view text, std::size_t maxFields) {
  std::vector<std::string> fields;
  // Some editors start a file with a byte order mark: it is not part of the first name.
  constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
  if (text.substr(0, byteOrderMark.size()) == byteOrderMark)
    text.remove_prefix(byteOrderMark.size());
  std::size_t p = 0;
  const std::size_t n = text.size();
  while (p < n && fields.size() < maxFields) {
    while (p < n && isBlank(text[p])) ++p;
    std::string field;
    if (p < n && text[p] == '"') {
      const std::size_t start = ++p;
      while (p < n && text[p] != '"' && !isLineEnd(text[p])) ++p;
      appendBounded(field, text, start, p);
      if (p < n && text[p] == '"') ++p;
      while (p < n && text[p] != ',' && !isLineEnd(text[p])) ++p;
    } else {
      const std::size_t start = p;
      while (p < n && text[p] != ',' && !isLineEnd(text[p])) ++p;
      std::size_t end = p;
      while (end > start && isBlank(text[end - 1])) --end;
      appendBounded(field, text, start, end);
      field = decimalForm(std::move(field));
      field.resize(std::min(field.size(), maxFieldBytes));  // ".5" grows by its leading zero
    }
    fields.push_back(std::move(field));
    if (p < n && text[p] == ',') {
      ++p;
    } else if (p < n && text[p] == '\r') {
      ++p;
      if (p < n && text[p] == '\n') ++p;
    } else if (p < n) {
      ++p;  // '\n'
    }
  }
  return fields;
}

std::string plainField(std::string_view text) {
  std::string plain;
  plain.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"')
      plain += '\'';
    else if (byte >= 0x20 && byte != 0x7f)
      plain += c;
  }
  return plain;
}

std::string format(const std::vector<std::string>& fields) {
  std::string text;
  for (const std::string& field : fields) {
    text += '"';
    text += plainField(field);
    text += "\"\r\n";
  }
  return text;
}

}  // namespace form::records
