// SPDX-License-Identifier: MIT
// The player's mouse and keys, carried from Qt to the kit, which routes them: presses, releases
// and double clicks on the playfield, key presses while the playfield has the focus, key releases
// (START passes them on), the window losing the focus with buttons (and keys) held, and Alt kept
// from the menu bar while the menus are off.
#pragma once

#include <QObject>
#include <QPointF>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>

#include "cabinet/kit/Kit.h"

class Playfield;
class QKeyEvent;
class QMouseEvent;
class QWidget;

class PlayerInput : public QObject {
  Q_OBJECT
public:
  // Watches the window and its playfield from now on, for the kit; `pressTimed` notes the
  // instant of each press of the left button (for the timing report).
  PlayerInput(QWidget& window, Playfield& playfield, cabinet::kit::Kit& kit,
              std::function<void()> pressTimed);
  // Whether the buttons held now were pressed on the helicopter, which then gets their releases.
  bool helicopterHolds() const;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void mouse(const QMouseEvent& event);
  void key(const QKeyEvent& event);
  void keyReleased(const QKeyEvent& event);
  // Whether a key's shortcut override is kept from the menu bar (and the key left to the game).
  bool keepsFromMenuBar(QKeyEvent& event) const;
  // Whether a key press is a repeat: marked so, or the press of a waiting release's key at its
  // instant. Any other press lets the waiting release go first.
  bool repeats(const QKeyEvent& press);
  void deliverWaitingRelease();

  // A key stroke that outlives its Qt event.
  struct Stroke {
    std::string name;
    std::optional<int> code;
    int shift = 0;
    int character = 0;
    bool autoRepeat = false;
    int qtKey = 0;
    ulong timestamp = 0;
    cabinet::kit::KeyStroke kit() const {
      return {.name = name,
              .code = code,
              .shift = shift,
              .character = character,
              .autoRepeat = autoRepeat};
    }
  };
  static Stroke stroke(const QKeyEvent& event);
  void releaseLostButtons();
  QPointF twips(QPointF widgetPos) const;

  QWidget& window_;
  Playfield& playfield_;
  cabinet::kit::Kit& kit_;
  std::function<void()> pressTimed_;
  QTimer retry_;  // a lost release waits until the running handler has returned
  QTimer releaseWaits_;
  std::optional<Stroke> waitingRelease_;
  bool repeatedKey_ = false;  // the key press being handled repeats a held key
};
