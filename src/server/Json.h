// SPDX-License-Identifier: MIT
// The little JSON the server speaks: strings written escaped, so that a name is always text, and
// the one kind of object a client sends, {"key": "text", ...}, read strictly.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace server::json {

// `text` as a JSON string, quotes included; every control character and every character that
// could close a script or a tag in a page is escaped, and a byte that is no character is U+FFFD.
std::string quoted(std::string_view text);

// An object whose values are all strings; nothing when `text` is anything else.
std::optional<std::map<std::string, std::string>> stringObject(std::string_view text);

// {"error": "why"}
std::string error(std::string_view why);

}  // namespace server::json
