// SPDX-License-Identifier: MIT
// The server's JSON: nlohmann's reader and writer, and the escapes a page needs on top.
#include "server/Json.h"

namespace server::json {

std::string text(const Json& value) {
  // Text kept by an older server may hold bytes that are no character: each is shown as U+FFFD.
  const std::string dumped = value.dump(-1, ' ', false, Json::error_handler_t::replace);
  // Outside its strings JSON holds none of these, so each one met is inside a string.
  std::string out;
  out.reserve(dumped.size());
  for (const char c : dumped) {
    if (c == '<')
      out += "\\u003c";
    else if (c == '>')
      out += "\\u003e";
    else if (c == '&')
      out += "\\u0026";
    else
      out += c;
  }
  return out;
}

std::optional<std::map<std::string, std::string>> stringObject(std::string_view text) {
  const Json value = Json::parse(text, nullptr, false);
  if (!value.is_object()) return std::nullopt;
  std::map<std::string, std::string> out;
  for (const auto& [key, item] : value.items()) {
    if (!item.is_string()) return std::nullopt;
    out[key] = item.get<std::string>();
  }
  return out;
}

std::string error(std::string_view why) { return text({{"error", std::string(why)}}); }

}  // namespace server::json
