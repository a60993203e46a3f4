// SPDX-License-Identifier: MIT
// The translation tables from Qt's buttons, modifiers and keys to the form's codes and the
// kit's key names.
#include "qt/EventMapping.h"

#include "app/frmCavewing.h"
#include "cabinet/kit/Keys.h"

namespace eventmapping {

int buttonCode(Qt::MouseButton button) {
  switch (button) {
    case Qt::LeftButton:
      return frmCavewing::LeftButton;
    case Qt::RightButton:
      return frmCavewing::RightButton;
    case Qt::MiddleButton:
      return frmCavewing::MiddleButton;
    default:
      return frmCavewing::NoButton;
  }
}

int shiftState(Qt::KeyboardModifiers modifiers) {
  int shift = 0;
  if (modifiers & Qt::ShiftModifier) shift |= frmCavewing::ShiftMask;
  if (modifiers & Qt::ControlModifier) shift |= frmCavewing::CtrlMask;
  if (modifiers & Qt::AltModifier) shift |= frmCavewing::AltMask;
  return shift;
}

std::string keyName(int qtKey) {
  if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9))
    return std::string(1, char(qtKey));
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F35)
    return "F" + std::to_string(qtKey - Qt::Key_F1 + 1);
  switch (qtKey) {
    case Qt::Key_Space:
      return "Space";
    case Qt::Key_Backspace:
      return "Backspace";
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return "Tab";
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return "Enter";
    case Qt::Key_Shift:
      return "Shift";
    case Qt::Key_Control:
      return "Control";
    case Qt::Key_Alt:
      return "Alt";
    case Qt::Key_Pause:
      return "Pause";
    case Qt::Key_CapsLock:
      return "CapsLock";
    case Qt::Key_Escape:
      return "Escape";
    case Qt::Key_PageUp:
      return "PageUp";
    case Qt::Key_PageDown:
      return "PageDown";
    case Qt::Key_End:
      return "End";
    case Qt::Key_Home:
      return "Home";
    case Qt::Key_Left:
      return "Left";
    case Qt::Key_Up:
      return "Up";
    case Qt::Key_Right:
      return "Right";
    case Qt::Key_Down:
      return "Down";
    case Qt::Key_Insert:
      return "Insert";
    case Qt::Key_Delete:
      return "Delete";
    default:
      return "Qt" + std::to_string(qtKey);
  }
}

std::optional<int> keyCode(int qtKey) { return cabinet::kit::keyCode(keyName(qtKey)); }

std::optional<int> keyAscii(int qtKey, Qt::KeyboardModifiers modifiers, const QString& text) {
  // Delete produces no character, although X11 reports one.
  if (qtKey == Qt::Key_Delete) return std::nullopt;
  if (!text.isEmpty()) {
    const int c = text.at(0).unicode();
    if (c > 0 && c < 256) return c;
    return std::nullopt;
  }
  // Events made up without text: the characters the keys stand for.
  switch (qtKey) {
    case Qt::Key_Backspace:
      return 8;
    case Qt::Key_Tab:
      return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Escape:
      return 27;
    case Qt::Key_Space:
      return 32;
    default:
      break;
  }
  if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) {
    if (modifiers & Qt::ControlModifier) return qtKey - Qt::Key_A + 1;
    return (modifiers & Qt::ShiftModifier) ? qtKey : qtKey - Qt::Key_A + 'a';
  }
  if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return qtKey;
  return std::nullopt;
}

}  // namespace eventmapping
