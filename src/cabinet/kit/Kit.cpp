// SPDX-License-Identifier: MIT
// The kit around one cabinet: delivery with the front end's catching up and showing, the badges
// and the replay's ring, the first input, the stand-still and real time, and the ghost.
#include "cabinet/kit/Kit.h"

#include <algorithm>
#include <limits>

#include "app/Phase.h"
#include "cabinet/kit/Overlay.h"
#include "cabinet/kit/ScoreServer.h"

namespace cabinet::kit {

Kit::Kit(Cabinet& cabinet, Screen& screen)
    : cabinet_(cabinet),
      screen_(screen),
      pointer_(cabinet.form(), [this](const replay::Event& e) { input(e); }) {
  cabinet_.addObserver(*this);
}

void Kit::load() {
  cabinet_.load();
  if (cabinet_.replaying()) {
    overlays_.badge = ReplayBadge;
  } else if (cabinet_.demoPlaying()) {
    overlays_.badge = DemoBadge;
    overlays_.hint = DemoHint;
  }
  showStartNote();
  screen_.changed();
}

void Kit::noteOnStartScreen(std::string text) {
  startNote_ = std::move(text);
  showStartNote();
  screen_.changed();
}

void Kit::showStartNote() {
  const bool startScreen =
      cabinet_.phase() == Phase::Ready && !cabinet_.replaying() && !cabinet_.demoPlaying();
  overlays_.startNote = startScreen ? startNote_ : std::string();
}

bool Kit::caughtUp() {
  const int boxes = cabinet_.boxesShown();
  screen_.beforeInput();
  if (cabinet_.boxesShown() == boxes) return true;
  screen_.changed();
  return false;
}

void Kit::input(const replay::Event& event) {
  if (caughtUp()) deliver(event);
}

void Kit::deliver(const replay::Event& event) {
  const bool replaying = cabinet_.replaying();
  cabinet_.input(event);
  if (replaying && !cabinet_.replaying()) {
    overlays_.ringX.reset();
    overlays_.ringY.reset();
    overlays_.badge.clear();
    overlays_.hint.clear();
  }
  showStartNote();
  if (event.kind == replay::Event::Kind::Start) liveStart_ = cabinet_.grid();
  frameFraction_ = 1;
  screen_.changed();
}

void Kit::setGhost(std::optional<Ghost> ghost) {
  ghost_ = std::move(ghost);
  screen_.changed();
}

void Kit::flyAgainst(const DaysBest& best) {
  noteOnStartScreen(best.note());
  setGhost(Ghost::fromText(best.recording));
}

void Kit::showGhost(bool shown) {
  ghostShown_ = shown;
  screen_.changed();
}

const Overlays& Kit::overlays() {
  overlays_.ghost = ghostAt();
  return overlays_;
}

// Both tries fly from their START: the player's k-th grid point beside the ghost's k-th, the ghost
// between its places at the last two as the view draws what moves.
std::optional<GhostAt> Kit::ghostAt() const {
  if (!ghost_ || !ghostShown_ || !liveStart_ || cabinet_.phase() != Phase::Flying) return {};
  const std::int64_t sinceStart = cabinet_.grid() - *liveStart_;
  const std::optional<GhostPlace> now = ghost_->at(sinceStart);
  if (!now) return {};
  const std::optional<GhostPlace> before = ghost_->at(sinceStart - 1);
  const float top =
      before ? before->top + float(frameFraction_) * (now->top - before->top) : now->top;
  return GhostAt{cabinet_.form().imgCopter.Left, top, now->picture};
}

namespace {

// Holding the Up arrow climbs: a player without a mouse can play.
bool holdsLeftButton(const KeyStroke& key) { return key.name == "Up"; }

}  // namespace

void Kit::key(const KeyStroke& key) {
  if (caughtKey_.rest(key.name, false, key.autoRepeat)) return;
  if (holdsLeftButton(key)) {
    if (!key.autoRepeat) pointer_.pressKey(key.shift);
    return;
  }
  // The key's down and its character are one stroke: both the game's, or both a box's.
  if (!caughtUp()) return;
  if (key.code)
    deliver(
        replay::Event{.kind = replay::Event::Kind::KeyDown, .shift = key.shift, .code = *key.code});
  if (key.character)
    deliver(replay::Event{.kind = replay::Event::Kind::KeyPress, .code = key.character});
}

bool Kit::keyReleased(const KeyStroke& key) {
  if (caughtKey_.rest(key.name, true, key.autoRepeat)) return true;
  if (holdsLeftButton(key) && !key.autoRepeat) pointer_.releaseKey(key.shift);
  return false;
}

bool Kit::takeFirstInput(std::optional<std::string> key) {
  if (!awaitsFirstInput()) return false;
  if (key) caughtKey_.caught(std::move(*key));
  if (overlays_.standStill)
    lift();
  else
    stopDemo();
  return true;
}

void Kit::lift() {
  overlays_.standStill = false;
  screen_.timeStands(false);
  screen_.changed();
}

void Kit::stopDemo() {
  screen_.beforeInput();
  overlays_.badge.clear();
  overlays_.hint.clear();
  cabinet_.stopDemo();
  showStartNote();
  liveStart_.reset();
  screen_.changed();
}

// The player's sitting starts on a fresh clock: real time resumes where it stands.
void Kit::sittingBegan(std::uint64_t) { realTime_.stop(); }

bool Kit::wentAway(bool timeRunning) {
  if (overlays_.standStill || !standsStillWhenAway(cabinet_, timeRunning)) return false;
  overlays_.standStill = true;
  realTime_.stop();
  screen_.timeStands(true);
  screen_.changed();
  return true;
}

std::int64_t Kit::followRealTime(std::int64_t realUs, int allowedLag) {
  if (overlays_.standStill || cabinet_.ended()) return 0;
  if (!realTime_.started()) realTime_.resume(realUs, cabinet_.clock());
  frameFraction_ = 1;
  return cabinet_.followRealTime(realTime_.followed(realUs), allowedLag);
}

double Kit::followFrame(std::int64_t realUs, int allowedLag) {
  if (overlays_.standStill || cabinet_.ended()) return 1;
  const form::Clock& clock = cabinet_.clock();
  if (!realTime_.started()) realTime_.resume(realUs, clock);
  // The clock fires at grid points only: up to the one at or after the frame, never past it. That
  // grid point lies up to one ahead of real time, which is no stall.
  cabinet_.followRealTime(realTime_.followed(realUs) + clock.systemTick() - 1,
                          allowedLag + 1 + idleGridPoints());
  const double fraction =
      cabinet_.view().fractionAt(realTime_.followed(realUs) - clock.droppedUs());
  frameFraction_ = fraction;
  return fraction;
}

// The grid points before the next at which anything happens.
int Kit::idleGridPoints() const {
  const form::Clock& clock = cabinet_.clock();
  const std::optional<std::int64_t> due = cabinet_.nextDue();
  if (!due) return std::numeric_limits<int>::max() / 2;
  return int(std::min<std::int64_t>((*due - clock.now()) / clock.systemTick() - 1,
                                    std::numeric_limits<int>::max() / 2));
}

std::optional<std::int64_t> Kit::nextDueRealUs() const {
  if (overlays_.standStill || !realTime_.started()) return std::nullopt;
  const std::optional<std::int64_t> due = cabinet_.nextDue();
  if (!due) return std::nullopt;
  return realTime_.realAt(*due + cabinet_.clock().droppedUs());
}

// A replay shows where its recorded player holds a button down; its START pairs with the ghost.
void Kit::replayed(const replay::Event& e) {
  if (e.kind == replay::Event::Kind::Start) liveStart_ = cabinet_.grid();
  if (e.kind == replay::Event::Kind::Down) {
    const form::Image& copter = cabinet_.form().imgCopter;
    // A press on the helicopter was recorded where it lay on the helicopter.
    overlays_.ringX = e.onCopter ? copter.Left + e.x : e.x;
    overlays_.ringY = e.onCopter ? copter.Top + e.y : e.y;
  } else if (e.kind == replay::Event::Kind::Up || e.kind == replay::Event::Kind::Release) {
    overlays_.ringX.reset();
    overlays_.ringY.reset();
  }
}

}  // namespace cabinet::kit
