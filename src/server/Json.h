// SPDX-License-Identifier: MIT
// The JSON the server speaks, through nlohmann's library: answers written so that a name is always
// text, and the one kind of object a client sends, {"key": "text", ...}, read strictly.
#pragma once

#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

namespace server::json {

// Keys kept in the order written, so that an answer reads as the README shows it.
using Json = nlohmann::ordered_json;

// `value` as sent: a byte that is no character is U+FFFD, and every character that could close a
// script or a tag in a page is escaped.
std::string text(const Json& value);

// An object whose values are all strings; nothing when `text` is anything else.
std::optional<std::map<std::string, std::string>> stringObject(std::string_view text);

// {"error": "why"}
std::string error(std::string_view why);

}  // namespace server::json
