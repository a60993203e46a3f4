// SPDX-License-Identifier: MIT
// The controls an input event names, under the names recordings use: the menu commands and the
// labels of the high-score list. The one table of these names: the recording format reads and
// writes them, and the cabinet finds the controls they name.
#pragma once

#include <array>
#include <optional>
#include <string_view>

namespace replay {

// The menu commands, in the order the cabinet's table of menu items follows.
inline constexpr std::array<std::string_view, 5> MenuCommandNames = {"mnuNew", "mnuExit", "mnuHow",
                                                                     "mnuAbout", "mnuScores"};

constexpr bool isMenuCommand(std::string_view name) {
  for (std::string_view command : MenuCommandNames)
    if (command == name) return true;
  return false;
}

// The labels of the high-score list: lblTitle alone (index 0), the others by row.
enum class ListLabel { lblName, lblNumber, lblScores, lblTitle };
inline constexpr std::array<std::string_view, 4> ListLabelNames = {"lblName", "lblNumber",
                                                                   "lblScores", "lblTitle"};

constexpr std::string_view nameOf(ListLabel label) {
  return ListLabelNames[static_cast<std::size_t>(label)];
}

constexpr std::optional<ListLabel> listLabelNamed(std::string_view name) {
  for (std::size_t i = 0; i < ListLabelNames.size(); ++i)
    if (ListLabelNames[i] == name) return static_cast<ListLabel>(i);
  return std::nullopt;
}

}  // namespace replay
