// SPDX-License-Identifier: MIT
// The translation tables from Qt's buttons, modifiers and keys to the form's codes.
#include "qt/EventMapping.h"

#include "app/frmCavewing.h"

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

std::optional<int> keyCode(int qtKey) {
  // Letters, digits and Space share their codes with Qt's keys.
  if ((qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) || (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) ||
      qtKey == Qt::Key_Space)
    return qtKey;
  if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) return 112 + (qtKey - Qt::Key_F1);
  switch (qtKey) {
    case Qt::Key_Backspace:
      return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Shift:
      return 16;
    case Qt::Key_Control:
      return 17;
    case Qt::Key_Alt:
      return 18;
    case Qt::Key_Pause:
      return 19;
    case Qt::Key_CapsLock:
      return 20;
    case Qt::Key_Escape:
      return 27;
    case Qt::Key_PageUp:
      return 33;
    case Qt::Key_PageDown:
      return 34;
    case Qt::Key_End:
      return 35;
    case Qt::Key_Home:
      return 36;
    case Qt::Key_Left:
      return 37;
    case Qt::Key_Up:
      return 38;
    case Qt::Key_Right:
      return 39;
    case Qt::Key_Down:
      return 40;
    case Qt::Key_Insert:
      return 45;
    case Qt::Key_Delete:
      return 46;
    default:
      return std::nullopt;
  }
}

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
