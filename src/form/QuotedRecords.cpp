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

}  // namespace

std::vector<std::string> parse(std::string_view text, std::size_t maxFields) {
  std::vector<std::string> fields;
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
