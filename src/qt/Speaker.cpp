// SPDX-License-Identifier: MIT
// The desktop's sounds: each a QSoundEffect on its WAV, the loops played until told to stop.
#include "qt/Speaker.h"

#include <QSoundEffect>

namespace {

const char* fileOf(cabinet::kit::Sound sound) {
  constexpr const char* files[] = {"rotor", "climb", "crash", "pause", "resume", "highscore"};
  return files[int(sound)];
}

}  // namespace

Speaker::Speaker(QMainWindow& window, bool mute)
    : QObject(&window),
      mute_(new KeptSwitch(window, "Mute", "sound/muted", Qt::Key_F12, mute)),
      sounds_(*this, mute_->isChecked()) {
  connect(mute_, &QAction::toggled, this, [this](bool muted) { sounds_.mute(muted); });
}

void Speaker::loop(cabinet::kit::Sound sound, bool on) {
  QSoundEffect& e = effect(sound);
  if (!on) {
    e.stop();
    return;
  }
  e.setLoopCount(QSoundEffect::Infinite);
  e.play();
}

void Speaker::play(cabinet::kit::Sound sound) { effect(sound).play(); }

QSoundEffect& Speaker::effect(cabinet::kit::Sound sound) {
  QSoundEffect*& e = effects_[std::size_t(sound)];
  if (!e) {
    e = new QSoundEffect(this);
    e->setSource(QUrl(QString("qrc:/sounds/%1.wav").arg(fileOf(sound))));
  }
  return *e;
}
