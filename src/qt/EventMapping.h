// SPDX-License-Identifier: MIT
// Qt's mouse and key events in the form's own vocabulary: button codes, shift state, classic
// virtual key codes and character codes. Pure functions, so that the mapping can be tested alone.
#pragma once

#include <QString>
#include <Qt>
#include <optional>
#include <string>

namespace eventmapping {

// 1 left, 2 right, 4 middle; 0 for any other button, which the form does not know.
int buttonCode(Qt::MouseButton button);
// 1 Shift, 2 Ctrl, 4 Alt, added up; other modifiers are not part of the shift state.
int shiftState(Qt::KeyboardModifiers modifiers);
// The kit's name of a key ("A", "F4", "Escape"; see cabinet/kit/Keys.h), or "Qt" and its
// number for a key the kit has no name for.
std::string keyName(int qtKey);
// The classic virtual key code of a key (A = 65, F4 = 115, Esc = 27), from the kit's table;
// nothing for a key that has none.
std::optional<int> keyCode(int qtKey);
// The character code a key press produces (Space 32, Esc 27, Enter 13, letters, Ctrl+letter
// 1..26); nothing for keys that produce no character (F-keys, arrows, modifiers).
std::optional<int> keyAscii(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text);

}  // namespace eventmapping
