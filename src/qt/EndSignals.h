// SPDX-License-Identifier: MIT
// The signals that end a sitting the player did not end (SIGTERM, a logout's SIGHUP, Ctrl+C's
// SIGINT) arrive as ordinary events through a signalfd, never in a signal handler: the window
// can then keep its recording and close as on Exit, and the program ends by the same signal.
#pragma once

#include <QObject>
#include <functional>

class QSocketNotifier;

class EndSignals : public QObject {
  Q_OBJECT
public:
  // Before any thread starts (QApplication starts some), so that every thread leaves these
  // signals to the signalfd.
  static void block();
  // Ends the program by `signal`, as its default action does; after the window has closed.
  [[noreturn]] static void endBy(int signal);

  EndSignals(std::function<void(int)> onSignal, QObject* parent);
  ~EndSignals() override;

private:
  int fd_ = -1;
  std::function<void(int)> onSignal_;
};
