// SPDX-License-Identifier: MIT
// The menu bar as a front end shows it: every menu and item under a name of its own (the control
// name), and whether it can be chosen now. A disabled menu disables its items, and with them their
// shortcuts.
#pragma once

#include <string>
#include <vector>

#include "app/frmCavewing.h"

namespace cabinet::kit {

struct MenuEntry {
  const form::MenuItem* item;
  const form::MenuItem* menu;  // the menu bar entry that holds it (itself, for an entry)
  std::string name;            // its control name; empty for a separator
  int depth;                   // 0 on the menu bar, 1 in a menu
};

// Left to right, each menu followed by its items.
std::vector<MenuEntry> menuEntries(const frmCavewing& form);

// Whether the entry can be chosen now, by a click or its shortcut.
inline bool enabled(const MenuEntry& entry) { return entry.item->Enabled && entry.menu->Enabled; }

// Whether every menu of the menu bar is off, as in flight: the menu bar then takes no key (not
// Alt alone, not a menu's access key), and every key is the game's.
bool menusOff(const frmCavewing& form);

}  // namespace cabinet::kit
