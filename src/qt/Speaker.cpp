// SPDX-License-Identifier: MIT
// The desktop's sounds: each a QSoundEffect on its WAV, the loops played until told to stop.
#include "qt/Speaker.h"

#include <QSettings>
#include <QSoundEffect>

namespace {

constexpr auto MuteKey = "sound/muted";

QSettings settings() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, "cavewing", "cavewing");
}

const char* fileOf(cabinet::kit::Sound sound) {
  constexpr const char* files[] = {"rotor", "climb", "crash", "pause", "resume", "highscore"};
  return files[int(sound)];
}

}  // namespace

Speaker::Speaker(QMainWindow& window, bool mute)
    : QObject(&window), sounds_(*this, mute || keptMute()), mute_(new QAction("Mute", &window)) {
  mute_->setCheckable(true);
  mute_->setChecked(sounds_.muted());
  mute_->setShortcut(Qt::Key_F12);
  mute_->setShortcutContext(Qt::WindowShortcut);
  connect(mute_, &QAction::toggled, this, [this](bool muted) {
    sounds_.mute(muted);
    settings().setValue(MuteKey, muted);
  });
  window.addAction(mute_);
}

bool Speaker::keptMute() { return settings().value(MuteKey, false).toBool(); }

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
