// SPDX-License-Identifier: MIT
// The desktop's mute: a muted window never makes a sound, and the player's choice comes back in
// the next run's window.
#include <gtest/gtest.h>

#include <QSettings>
#include <QSoundEffect>

#include "qt/GameWindow.h"

namespace {

// Flies a little, holding the left button: the rotor and the climb are called for.
void flyAndClimb(GameWindow& w) {
  w.pump().stop();
  w.deliver(replay::Event{.kind = replay::Event::Kind::Start});
  w.deliver(replay::Event{.kind = replay::Event::Kind::Down, .button = frmCavewing::LeftButton});
  w.drive([&] { w.cabinet().advanceTo(w.cabinet().clock().now() + 100'000); });
}

// The sounds the window has started: each effect is made when first heard.
std::string started(GameWindow& w) {
  QStringList sources;
  for (const QSoundEffect* e : w.findChildren<QSoundEffect*>()) sources << e->source().fileName();
  return sources.join(" ").toStdString();
}

TEST(Sound, MuteSilencesEverySoundAndTheChoiceSurvivesARestart) {
  {
    GameWindow first{CommandLine{}};
    flyAndClimb(first);
    EXPECT_EQ(started(first), "rotor.wav climb.wav");
    first.speaker().muteAction()->trigger();  // F12
  }
  {
    GameWindow next{CommandLine{}};
    EXPECT_TRUE(next.speaker().muteAction()->isChecked()) << "the mute is kept";
    flyAndClimb(next);
    EXPECT_EQ(started(next), "") << "a muted window makes no sound";
    next.speaker().muteAction()->trigger();
  }
  CommandLine muted;
  muted.mute = true;
  GameWindow quiet{muted};
  EXPECT_TRUE(quiet.speaker().muteAction()->isChecked()) << "--mute, whatever was kept";
  flyAndClimb(quiet);
  EXPECT_EQ(started(quiet), "");
  QSettings(QSettings::NativeFormat, QSettings::UserScope, "cavewing", "cavewing")
      .remove("sound/muted");
}

}  // namespace
