// SPDX-License-Identifier: MIT
// The demo in the window, ended by the first real click or key.
#include "qt/Demo.h"

#include "qt/FirstInput.h"
#include "qt/GameWindow.h"

Demo::Demo(GameWindow& window) : QObject(&window), window_(window) {
  new FirstInput(window.kit(), this);
}

bool Demo::playing() const { return window_.cabinet().demoPlaying(); }
