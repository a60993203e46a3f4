// SPDX-License-Identifier: MIT
// The player's mouse and keys, carried from Qt to the kit, which routes them: presses, releases
// and double clicks on the playfield, key presses while the playfield has the focus, and the
// window losing the focus with buttons held.
#pragma once

#include <QObject>
#include <QPointF>
#include <QTimer>

class GameWindow;
class QKeyEvent;
class QMouseEvent;

class PlayerInput : public QObject {
  Q_OBJECT
public:
  // Watches the window and its playfield from now on.
  explicit PlayerInput(GameWindow& window);
  // Whether the buttons held now were pressed on the helicopter, which then gets their releases.
  bool helicopterHolds() const;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void mouse(const QMouseEvent& event);
  void key(const QKeyEvent& event);
  void releaseLostButtons();
  QPointF twips(QPointF widgetPos) const;

  GameWindow& window_;
  QTimer retry_;  // a lost release waits until the running handler has returned
};
