// SPDX-License-Identifier: MIT
// The controls an input event names, under the names recordings use: the menu commands and the
// labels of the high-score list. The one table of these names: delivery, the recording format and
// the front ends all look them up here.
#pragma once

#include <array>
#include <optional>
#include <string_view>

#include "app/frmCavewing.h"

namespace cabinet {

struct MenuCommand {
  std::string_view name;
  form::MenuItem frmCavewing::*item;
};
inline constexpr std::array<MenuCommand, 5> MenuCommands = {{
    {"mnuNew", &frmCavewing::mnuNew},
    {"mnuExit", &frmCavewing::mnuExit},
    {"mnuHow", &frmCavewing::mnuHow},
    {"mnuAbout", &frmCavewing::mnuAbout},
    {"mnuScores", &frmCavewing::mnuScores},
}};

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

constexpr const MenuCommand* menuCommandNamed(std::string_view name) {
  for (const MenuCommand& command : MenuCommands)
    if (command.name == name) return &command;
  return nullptr;
}

// The name of a menu command of `form`; empty for a menu, a separator or anything else.
inline std::string_view nameOf(const frmCavewing& form, const form::MenuItem& item) {
  for (const MenuCommand& command : MenuCommands)
    if (&(form.*command.item) == &item) return command.name;
  return {};
}

}  // namespace cabinet
