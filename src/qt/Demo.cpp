// SPDX-License-Identifier: MIT
#include "qt/Demo.h"

#include "qt/FirstInput.h"
#include "qt/GameWindow.h"

Demo::Demo(GameWindow& window) : QObject(&window), window_(window) {
  window_.playfield()->showBadge("DEMO", "click or press a key to play");
  new FirstInput([this] { stop(); }, this);
}

bool Demo::playing() const { return window_.cabinet().demoPlaying(); }

void Demo::stop() {
  window_.playfield()->showBadge({});
  window_.drive([this] { window_.cabinet().stopDemo(); });
}
