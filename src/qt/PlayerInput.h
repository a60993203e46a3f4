// SPDX-License-Identifier: MIT
// The player's mouse and keys, carried from Qt to the form: presses, releases and double clicks
// on the playfield (on the helicopter, or else on the window), key presses while the playfield
// has the focus, and a release for the buttons still held when the window loses the focus.
#pragma once

#include <QObject>
#include <QPointF>
#include <QTimer>

#include "cabinet/Event.h"

class GameWindow;
class QKeyEvent;
class QMouseEvent;

class PlayerInput : public QObject {
  Q_OBJECT
public:
  // Watches the window and its playfield from now on.
  explicit PlayerInput(GameWindow& window);
  // Whether the buttons held now were pressed on the helicopter, which then gets their releases.
  bool helicopterHolds() const { return held_ != 0 && copterHolds_; }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  void mouse(const QMouseEvent& event);
  void press(int button, int shift, QPointF at);
  void release(int button, int shift, QPointF at);
  cabinet::Event mouseEvent(cabinet::Event::Kind kind, int button, int shift, QPointF at) const;
  void key(const QKeyEvent& event);
  void releaseLostButtons();
  QPointF twips(QPointF widgetPos) const;
  bool onCopter(QPointF at) const;

  GameWindow& window_;
  int held_ = 0;              // buttons pressed on the playfield and not yet let go
  bool copterHolds_ = false;  // the helicopter took the first of them, so it gets the releases
  QTimer retry_;              // a lost release waits until the running handler has returned
};
