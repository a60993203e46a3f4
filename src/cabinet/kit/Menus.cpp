// SPDX-License-Identifier: MIT
// The menu bar's names: the commands' from the one table of control names, the menus' here.
#include "cabinet/kit/Menus.h"

#include <algorithm>
#include <string_view>
#include <utility>

#include "cabinet/MenuCommands.h"

namespace cabinet::kit {

namespace {

constexpr std::pair<std::string_view, form::MenuItem frmCavewing::*> Menus[] = {
    {"mnuFile", &frmCavewing::mnuFile},
    {"mnuHelp", &frmCavewing::mnuHelp},
};

std::string nameOf(const frmCavewing& form, const form::MenuItem& item) {
  if (item.IsSeparator()) return {};
  for (const auto& [name, member] : Menus)
    if (&(form.*member) == &item) return std::string(name);
  return std::string(cabinet::nameOf(form, item));
}

}  // namespace

std::vector<MenuEntry> menuEntries(const frmCavewing& form) {
  std::vector<MenuEntry> entries;
  for (const form::MenuItem* menu : form.menuBar) {
    entries.push_back({menu, menu, nameOf(form, *menu), 0});
    for (const form::MenuItem* item : menu->Items)
      entries.push_back({item, menu, nameOf(form, *item), 1});
  }
  return entries;
}

bool menusOff(const frmCavewing& form) {
  return std::none_of(form.menuBar.begin(), form.menuBar.end(),
                      [](const form::MenuItem* menu) { return menu->Enabled; });
}

}  // namespace cabinet::kit
