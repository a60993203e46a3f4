// SPDX-License-Identifier: MIT
// The player's next click or key, caught before any widget, menu or shortcut of the application
// sees it, and handed to the kit, which takes it to end the demo or lift a stand-still: it does
// nothing else. The rest of a caught key (its repeats, its release, shortcuts made with it) goes
// nowhere either, until the key is let go or the window loses it. X repeats a held key as a
// release and a press at one instant, which Qt does not always mark as a repeat: the caught key's
// release waits a moment for such a press before it ends the catch.
#pragma once

#include <QObject>
#include <QTimer>
#include <string>

#include "cabinet/kit/Kit.h"

class FirstInput : public QObject {
  Q_OBJECT
public:
  // Watches the whole application from now on.
  FirstInput(cabinet::kit::Kit& kit, QObject* parent);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  bool first(QEvent* event);
  bool rest(QEvent* event);
  void letGo();
  void done();

  cabinet::kit::Kit& kit_;
  bool waiting_ = true;
  QTimer letGo_;          // the caught key's release, unless a press at its instant follows
  std::string released_;  // the caught key, let go at `releasedAt_`
  ulong releasedAt_ = 0;
};
