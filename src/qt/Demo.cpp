// The demo's driver on the Qt side: once per system tick it lets the autopilot press or release,
// clicks START in the ready phase, and clicks the high-score list away a few seconds after a
// crash, all through the window's own events. The first real click or key ends the demo; that
// click or key does nothing else.
#include "qt/Demo.h"

#include "qt/FirstInput.h"
#include "qt/GameWindow.h"

Demo::Demo(GameWindow& window) : QObject(&window), window_(window) {
  frmCavewing& form = window_.form();
  form.throwAwayTable = std::string();
  window_.unattended = true;
  window_.playfield()->showBadge("DEMO", "click or press a key to play");
  new FirstInput([this] { stop(); }, this);
  // The demo decides each time the clock has caught up, once per system tick in flight, as the
  // headless pilot does.
  connect(&window_.pump(), &RealTimePump::advanced, this, &Demo::tick);
  tick();
}

void Demo::tick() {
  frmCavewing& form = window_.form();
  // Pressed in the middle of the window, as a player's hand would rest.
  constexpr float X = frmCavewing::ScaleWidth / 2, Y = frmCavewing::ScaleHeight / 2;
  // The pilot's hand goes through the window's events, so that a recording keeps it.
  if (const auto press = pilot_.nextHand(form)) {
    const auto kind = *press ? replay::Event::Kind::Down : replay::Event::Kind::Up;
    window_.deliver(replay::Event{.kind = kind, .button = frmCavewing::LeftButton, .x = X, .y = Y});
  }
  if (!form.gameRunning && !form.gameOver) {
    window_.deliver(replay::Event{.kind = replay::Event::Kind::Start});
    return;
  }
  if (!form.gameOver || !form.lblTitle.Visible) return;
  // The list after a crash: shown for a while, then a click starts the next game.
  const std::int64_t now = form.clock.now();
  if (listSince_ < 0) listSince_ = now;
  if (now - listSince_ < ListShownUs) return;
  listSince_ = -1;
  // A click, as a player makes it: the same events the window hands on.
  for (auto kind : {replay::Event::Kind::Down, replay::Event::Kind::Up})
    window_.deliver(replay::Event{.kind = kind, .button = frmCavewing::LeftButton, .x = X, .y = Y});
}

void Demo::stop() {
  playing_ = false;
  disconnect(&window_.pump(), &RealTimePump::advanced, this, &Demo::tick);
  window_.unattended = false;
  window_.playfield()->showBadge({});
  frmCavewing& form = window_.form();
  form.throwAwayTable.reset();
  window_.deliver([&] { form.mnuNew_Click(); });
}
