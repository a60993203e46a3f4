// SPDX-License-Identifier: MIT
// The form's menu items behind the names menu commands have in recordings: delivery finds a
// command's item here, and the front ends the name of a menu item.
#pragma once

#include <array>
#include <string_view>

#include "app/frmCavewing.h"
#include "replay/ControlNames.h"

namespace cabinet {

struct MenuCommand {
  std::string_view name;
  form::MenuItem frmCavewing::*item;
};
inline constexpr std::array<MenuCommand, replay::MenuCommandNames.size()> MenuCommands = {{
    {replay::MenuCommandNames[0], &frmCavewing::mnuNew},
    {replay::MenuCommandNames[1], &frmCavewing::mnuExit},
    {replay::MenuCommandNames[2], &frmCavewing::mnuHow},
    {replay::MenuCommandNames[3], &frmCavewing::mnuAbout},
    {replay::MenuCommandNames[4], &frmCavewing::mnuScores},
}};

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
