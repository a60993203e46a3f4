// SPDX-License-Identifier: MIT
// The little JSON a client of the score server reads: its answers, read strictly. Every value
// keeps its text (a number as written, a string unescaped), so that a seed up to 2^53 and more
// is read exactly.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace cabinet::kit::json {

struct Value {
  enum class Kind { Null, Bool, Number, String, Array, Object };
  Kind kind = Kind::Null;
  std::string text;  // a number's digits, a string's characters (UTF-8), "true" or "false"
  std::vector<Value> items;
  std::vector<std::pair<std::string, Value>> members;

  // An object's member, or nothing.
  const Value* operator[](std::string_view key) const;
  bool is(Kind k) const { return kind == k; }
};

// The value `text` holds whole, or nothing when it is not JSON (or nests deeper than a client's
// answers ever do).
std::optional<Value> parse(std::string_view text);

}  // namespace cabinet::kit::json
