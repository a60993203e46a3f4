// SPDX-License-Identifier: MIT
// Key codes, from the names every toolkit can give its keys: the classic virtual key codes the
// form knows (A = 65, F4 = 115, Esc = 27). A front end names the key, the kit codes it.
#pragma once

#include <optional>
#include <string_view>

namespace cabinet::kit {

// The code of a key named "A".."Z", "0".."9", "Space", "F1".."F24", "Backspace", "Tab", "Enter",
// "Shift", "Control", "Alt", "Pause", "CapsLock", "Escape", "PageUp", "PageDown", "End", "Home",
// "Left", "Up", "Right", "Down", "Insert" or "Delete"; nothing for any other name.
std::optional<int> keyCode(std::string_view name);

}  // namespace cabinet::kit
