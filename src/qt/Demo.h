// The demo in the window: the cabinet plays by itself (see cabinet/Demo.h), and this filter
// watches every input event of the application so that the first real click or key ends the
// demo and leaves the game ready to play; that click or key does nothing else.
#pragma once

#include <QObject>

class GameWindow;

class Demo : public QObject {
  Q_OBJECT
public:
  // Starts playing at once.
  explicit Demo(GameWindow& window);
  bool playing() const;

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  GameWindow& window_;
  int endingKey_ = 0;  // the key that ended the demo does nothing else until it is let go
};
