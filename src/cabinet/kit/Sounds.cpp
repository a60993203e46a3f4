// SPDX-License-Identifier: MIT
// When each sound plays: read from the game's phase and the climb timer, compared with what was
// heard last, so that a shot sounds once at its change and a loop holds while its state does.
#include "cabinet/kit/Sounds.h"

namespace cabinet::kit {

namespace {

// The box the rules open for a new high score.
constexpr auto NewHighScoreTitle = "New High Score";

// The shot a change of phase sounds, if any.
std::optional<Sound> shotOf(Phase from, Phase to) {
  if (to == Phase::Crashed && from != Phase::Crashed) return Sound::Crash;
  if (from == Phase::Flying && to == Phase::Paused) return Sound::Pause;
  if (from == Phase::Paused && to == Phase::Flying) return Sound::Resume;
  return std::nullopt;
}

}  // namespace

void Sounds::follow(const Kit& kit) {
  const Cabinet& cabinet = kit.cabinet();
  const bool heard = !muted_ && !cabinet.demoPlaying() && !kit.standing();
  const Phase phase = cabinet.phase();
  if (const auto shot = shotOf(phase_, phase); shot && heard) speaker_.play(*shot);
  phase_ = phase;
  const bool flying = heard && phase == Phase::Flying;
  loop(Sound::Rotor, rotor_, flying);
  loop(Sound::Climb, climb_, flying && cabinet.form().tmrUp.Enabled);
}

void Sounds::boxOpens(const std::string& title) {
  if (!muted_ && title == NewHighScoreTitle) speaker_.play(Sound::HighScore);
}

void Sounds::mute(bool muted) {
  muted_ = muted;
  if (!muted) return;
  loop(Sound::Rotor, rotor_, false);
  loop(Sound::Climb, climb_, false);
}

void Sounds::loop(Sound sound, bool& was, bool on) {
  if (was == on) return;
  was = on;
  speaker_.loop(sound, on);
}

}  // namespace cabinet::kit
