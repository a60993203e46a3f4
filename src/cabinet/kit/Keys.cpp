// SPDX-License-Identifier: MIT
// The key-code table. Letters, digits and Space are their characters' codes.
#include "cabinet/kit/Keys.h"

#include <charconv>
#include <utility>

namespace cabinet::kit {

namespace {

constexpr std::pair<std::string_view, int> NamedKeys[] = {
    {"Backspace", 8}, {"Tab", 9},       {"Enter", 13},    {"Shift", 16},  {"Control", 17},
    {"Alt", 18},      {"Pause", 19},    {"CapsLock", 20}, {"Escape", 27}, {"Space", 32},
    {"PageUp", 33},   {"PageDown", 34}, {"End", 35},      {"Home", 36},   {"Left", 37},
    {"Up", 38},       {"Right", 39},    {"Down", 40},     {"Insert", 45}, {"Delete", 46},
};

constexpr int FirstFunctionKey = 112, FunctionKeys = 24;

}  // namespace

std::optional<int> keyCode(std::string_view name) {
  if (name.size() == 1 &&
      ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= '0' && name[0] <= '9')))
    return name[0];
  for (const auto& [named, code] : NamedKeys)
    if (named == name) return code;
  if (name.size() >= 2 && name[0] == 'F') {
    int n = 0;
    const auto [end, error] = std::from_chars(name.data() + 1, name.data() + name.size(), n);
    if (error == std::errc() && end == name.data() + name.size() && n >= 1 && n <= FunctionKeys &&
        name[1] != '0')
      return FirstFunctionKey + n - 1;
  }
  return std::nullopt;
}

}  // namespace cabinet::kit
