// SPDX-License-Identifier: MIT
// The desktop's sounds, through Qt Multimedia's QSoundEffect (Debian's Qt 6.4, as the rest of the
// window: it plays short WAVs with little delay and loops them, and with no sound device it stays
// silent). The sounds are made at build time (scripts/make-sounds.py) and built into the program.
// The player's mute is the window's own, like full screen: F12 toggles it (no menu of the game's
// gains an item), --mute starts muted, and the choice is kept between runs (KeptSwitch).
#pragma once

#include <QMainWindow>
#include <QObject>
#include <array>

#include "cabinet/kit/Sounds.h"
#include "qt/KeptSwitch.h"

class QSoundEffect;

class Speaker : public QObject, private cabinet::kit::Speaker {
public:
  Speaker(QMainWindow& window, bool mute);

  cabinet::kit::Sounds& sounds() { return sounds_; }
  QAction* muteAction() const { return mute_; }

private:
  void loop(cabinet::kit::Sound sound, bool on) override;
  void play(cabinet::kit::Sound sound) override;
  // Made when first heard: a muted sitting never opens the sound device.
  QSoundEffect& effect(cabinet::kit::Sound sound);

  std::array<QSoundEffect*, 6> effects_{};
  KeptSwitch* mute_;
  cabinet::kit::Sounds sounds_;
};
