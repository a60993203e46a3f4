// SPDX-License-Identifier: MIT
// The front-end kit driven as a player drives a window, into a real cabinet: where presses,
// releases, double clicks and list clicks go (the sitting's recording shows what the game got),
// and when flight stands still and how it goes on.
#include <gtest/gtest.h>

#include <utility>

#include "RecordingOf.h"
#include "ScoresFixture.h"
#include "cabinet/kit/Kit.h"
#include "cabinet/kit/Overlay.h"
#include "replay/Recording.h"

namespace {

using replay::Event;
using Kind = replay::Event::Kind;
constexpr int Left = frmCavewing::LeftButton, Right = frmCavewing::RightButton;
constexpr std::int64_t Ms = 1000, TickUs = 15625;

// A window as the kit sees it: real time in its own microseconds, which stops while flight
// stands still.
struct KitWindow : cabinet::kit::Kit::Screen {
  TempFolder temp;
  FakeHost host;
  cabinet::Cabinet cabinet;
  cabinet::kit::Kit kit{cabinet, *this};
  const frmCavewing& form = cabinet.form();
  bool timeRunning = true;
  std::int64_t realUs = 0;

  explicit KitWindow(bool demo = false) : cabinet(host, sitting(demo)) { load(); }
  explicit KitWindow(const replay::Recording& replayed) : cabinet(host, replayed) { load(); }
  void load() {
    host.userDataPath = (temp.path / "user").string();
    kit.load();
  }
  cabinet::Sitting sitting(bool demo) const {
    cabinet::Sitting s;
    s.seed = 77;
    s.demo = demo;
    s.scoresFile = (temp.path / "Cavewing.txt").string();
    s.recordFile = (temp.path / "sitting").string();
    return s;
  }
  void changed() override {}
  void timeStands(bool standing) override { timeRunning = !standing; }
  // As a window's pump does: the game catches up with real time before input lands, over as
  // many grid points as the pump sleeps at most (8).
  void beforeInput() override {
    if (timeRunning) kit.followRealTime(realUs, form::Clock::stallGridPoints + 7);
  }

  // Real time passes; the kit lets the game follow it while it runs, a frame every `frameMs`.
  void pass(std::int64_t ms, std::int64_t frameMs = 16) {
    for (std::int64_t t = 0; t < ms; t += frameMs) {
      realUs += frameMs * Ms;
      if (timeRunning) kit.followRealTime(realUs, form::Clock::stallGridPoints);
    }
  }
  void start() { kit.input(Event{.kind = Kind::Start}); }
  // Real time passes up to grid point `grid` exactly.
  void passTo(std::int64_t grid) {
    while (cabinet.grid() < grid) pass(1, 1);
  }
  bool climbing() const { return form.tmrUp.Enabled; }
  // What the game got, as the sitting's recording kept it at the close box.
  std::vector<Event> recorded() {
    kit.input(Event{.kind = Kind::Close});
    const replay::ReadResult read = replay::readFile((temp.path / "sitting").string());
    EXPECT_TRUE(read.recording) << read.error;
    return read.recording ? read.recording->events : std::vector<Event>{};
  }
};

std::vector<Kind> kinds(const std::vector<Event>& events) {
  std::vector<Kind> k;
  for (const Event& e : events) k.push_back(e.kind);
  return k;
}

TEST(KitPointer, PressesReleasesDoubleClicksAndListClicksGoWhereThePlayerMeansThem) {
  KitWindow w;
  cabinet::kit::Pointer& mouse = w.kit.pointer();
  // Nothing held as the window loses the focus: nothing waits to be let go (the desktop would try
  // again, and let go of the next press).
  EXPECT_TRUE(mouse.releaseLost());
  // Held while the window loses the focus: let go at once, but not inside a handler (a box).
  mouse.press(Left, 0, 3000, 9000);
  bool deferred = false;
  w.host.whileBoxIsOpen = [&] { deferred = !mouse.releaseLost(); };
  w.kit.input(Event{.kind = Kind::Menu, .name = "mnuHow"});
  w.host.whileBoxIsOpen = nullptr;
  EXPECT_TRUE(deferred) << "a release delivered inside the box's handler";
  EXPECT_TRUE(mouse.releaseLost());
  mouse.release(Left, 0, 3000, 9000);  // its late release goes nowhere
  w.start();
  w.pass(100);
  // A press on the helicopter, to its very corner, is its own, at a point of its picture, and so
  // is the release.
  const float x = w.form.imgCopter.Left, y = w.form.imgCopter.Top;
  mouse.press(Left, 0, x, y);
  EXPECT_TRUE(mouse.helicopterHolds());
  EXPECT_TRUE(w.climbing());
  mouse.release(Left, 0, 10, 10);
  EXPECT_FALSE(w.climbing());
  // A release whose press the window never saw goes nowhere.
  mouse.release(Right, 0, 10, 10);
  // The second press of a left double click is the window's double click.
  mouse.press(Left, 0, 3000, 9000);
  EXPECT_FALSE(mouse.helicopterHolds());
  mouse.release(Left, 0, 3000, 9000);
  mouse.press(Left, 0, 3000, 9000, true);
  EXPECT_TRUE(w.climbing());
  mouse.release(Left, 0, 3000, 9000);
  // A right button's quick second press stays a press: paused, it resumes without climbing.
  mouse.press(Right, 0, 3000, 9000);
  mouse.release(Right, 0, 3000, 9000);
  EXPECT_TRUE(w.form.halted);
  mouse.press(Right, 0, 3000, 9000, true);
  EXPECT_FALSE(w.form.halted);
  EXPECT_FALSE(w.climbing());
  mouse.release(Right, 0, 3000, 9000);
  // Into the ceiling; once the list is up, its labels answer the left button alone.
  mouse.press(Left, 0, 3000, 9000);
  for (int i = 0; i < 2000 && !w.form.lblTitle.Visible; ++i) w.pass(16);
  ASSERT_TRUE(w.form.lblTitle.Visible);
  mouse.release(Left, 0, 3000, 9000);
  // A button the game has no code for (a mouse's side button) does nothing at all.
  mouse.press(frmCavewing::NoButton, 0, 3000, 9000);
  EXPECT_EQ(w.cabinet.phase(), Phase::Crashed) << "a button of no code started a game";
  const form::Label& title = w.form.lblTitle;
  const float lx = title.Left + 10, ly = title.Top + 10;
  const int last = w.form.lblName.last;
  for (const form::Label* label :
       {&title, &w.form.lblName[last], &w.form.lblNumber[last], &w.form.lblScores[last]}) {
    for (int button : {Right, frmCavewing::MiddleButton}) {
      mouse.press(button, 0, label->Left + 10, label->Top + 10);
      mouse.release(button, 0, label->Left + 10, label->Top + 10);
      EXPECT_EQ(w.cabinet.phase(), Phase::Crashed)
          << "button " << button << " on " << label->Top << " started a game";
      EXPECT_TRUE(w.form.lblTitle.Visible);
    }
  }
  mouse.press(Left, 0, lx, ly);
  EXPECT_EQ(w.cabinet.phase(), Phase::Ready) << "a left click on the list starts the next game";
  mouse.release(Left, 0, lx, ly);

  const std::vector<Event> got = w.recorded();
  const std::vector<Kind> expected = {
      Kind::Down, Kind::Menu, Kind::Release,  Kind::Start, Kind::Down,  Kind::Up,
      Kind::Down, Kind::Up,   Kind::DblClick, Kind::Up,    Kind::Down,  Kind::Up,
      Kind::Down, Kind::Up,   Kind::Down,     Kind::Up,    Kind::Label, Kind::Close};
  EXPECT_EQ(kinds(got), expected);
  ASSERT_GE(got.size(), 6u);
  EXPECT_TRUE(got[4].onCopter);
  EXPECT_FLOAT_EQ(got[4].x, 0);
  EXPECT_TRUE(got[5].onCopter) << "the helicopter's press gets its release";
}

TEST(KitKeys, HoldingUpIsHoldingTheLeftButtonOnTheWindowAndNothingMore) {
  KitWindow w;
  cabinet::kit::Pointer& mouse = w.kit.pointer();
  const cabinet::kit::KeyStroke up{.name = "Up", .code = 38};
  cabinet::kit::KeyStroke repeat = up;
  repeat.autoRepeat = true;
  w.start();
  w.pass(100);
  // Down climbs, up falls; the repeats of a held key (a toolkit may pair each with a release)
  // neither climb again nor let go.
  w.kit.key(up);
  EXPECT_TRUE(w.climbing());
  for (int i = 0; i < 3; ++i) {
    w.pass(30);
    w.kit.keyReleased(repeat);
    w.kit.key(repeat);
  }
  EXPECT_TRUE(w.climbing()) << "a repeat let go";
  w.kit.keyReleased(up);
  EXPECT_FALSE(w.climbing());
  EXPECT_TRUE(w.form.tmrDown.Enabled);
  // With the mouse's left button it is one button: pressed once, let go once both are up.
  mouse.press(Left, 0, 3000, 9000);
  w.kit.key(up);
  mouse.release(Left, 0, 3000, 9000);
  EXPECT_TRUE(w.climbing()) << "the mouse let go of a button the key holds";
  w.kit.keyReleased(up);
  EXPECT_FALSE(w.climbing());
  // And the other way round: the key let go first leaves the mouse's button held.
  w.kit.key(up);
  mouse.press(Left, 0, 3000, 9000);
  w.kit.keyReleased(up);
  EXPECT_TRUE(w.climbing()) << "the key let go of a button the mouse holds";
  mouse.release(Left, 0, 3000, 9000);
  EXPECT_FALSE(w.climbing()) << "the mouse's release went nowhere";
  // Held while the window loses the focus: let go at once; its late release goes nowhere, and
  // the next press climbs again.
  w.kit.key(up);
  EXPECT_TRUE(mouse.releaseLost());
  EXPECT_FALSE(w.climbing());
  w.kit.keyReleased(up);
  w.kit.key(up);
  EXPECT_TRUE(w.climbing()) << "a key lost with the focus stayed held";
  // Held into the ceiling: after the crash a new press starts over, on the window even where
  // the list is up (never as a click on one of its labels).
  for (int i = 0; i < 2000 && !w.form.lblTitle.Visible; ++i) w.pass(16);
  ASSERT_TRUE(w.form.lblTitle.Visible);
  w.kit.key(repeat);
  EXPECT_EQ(w.cabinet.phase(), Phase::Crashed) << "a repeat started over";
  w.kit.keyReleased(up);
  w.kit.key(up);
  EXPECT_EQ(w.cabinet.phase(), Phase::Ready);
  w.kit.keyReleased(up);

  // Recorded as the left button's presses and releases on the window, no key among them.
  const std::vector<Event> got = w.recorded();
  const std::vector<Kind> expected = {
      Kind::Start, Kind::Down,    Kind::Up,   Kind::Down, Kind::Up,   Kind::Down, Kind::Up,
      Kind::Down,  Kind::Release, Kind::Down, Kind::Up,   Kind::Down, Kind::Up,   Kind::Close};
  EXPECT_EQ(kinds(got), expected);
  for (const Event& e : got) {
    if (e.kind != Kind::Down && e.kind != Kind::Up) continue;
    EXPECT_EQ(e.button, Left);
    EXPECT_FALSE(e.onCopter);
  }
  ASSERT_EQ(got.size(), expected.size());
  EXPECT_EQ(got[1].x, cabinet::kit::Pointer::KeyX);
  EXPECT_EQ(got[1].y, cabinet::kit::Pointer::KeyY);
  EXPECT_EQ(got[3].x, 3000) << "the mouse's press is the one the window got";
  EXPECT_EQ(got[6].x, 3000) << "the mouse's release is the one the window got";
}

TEST(KitLateInput, AnInputThatCatchesUpIntoABoxIsTheBoxsAndTheListStaysUp) {
  // The window slept through the banner's last moments; the input that wakes it first brings the
  // game to real time, which shows the list and congratulates the player. A press, a key and the
  // Up arrow: each was the box's, had the game been on time.
  const cabinet::kit::KeyStroke space{.name = "Space", .code = 32, .character = 32};
  const cabinet::kit::KeyStroke up{.name = "Up", .code = 38};
  for (const int input : {0, 1, 2}) {
    KitWindow w;
    w.start();
    for (int i = 0; i < 2000 && !w.form.lblCRASH.Visible; ++i) w.pass(16);
    ASSERT_TRUE(w.form.lblCRASH.Visible);
    w.pass(1100);
    ASSERT_FALSE(w.form.lblTitle.Visible);
    w.realUs += 8 * TickUs;
    if (input == 0) w.kit.pointer().press(Left, 0, 3000, 9000);
    if (input == 1) w.kit.key(space);
    if (input == 2) w.kit.key(up);
    ASSERT_EQ(w.host.boxes.size(), 1u) << "no high score: the test needs its box";
    EXPECT_TRUE(w.form.lblTitle.Visible) << "input " << input << " started a new game";
    EXPECT_EQ(w.cabinet.phase(), Phase::Crashed);
    // Its release after the box has closed changes nothing; the next press starts over.
    if (input == 0) w.kit.pointer().release(Left, 0, 3000, 9000);
    if (input == 2) w.kit.keyReleased(up);
    EXPECT_TRUE(w.form.lblTitle.Visible);
    w.kit.pointer().press(Left, 0, 3000, 9000);
    EXPECT_EQ(w.cabinet.phase(), Phase::Ready);
  }
}

TEST(KitStandStill, OnlyFlightStandsStillAndTheFirstInputOnlyLiftsIt) {
  // The demo flies for no one: it flies on, and the first input ends it.
  KitWindow demo(true);
  demo.pass(500);
  ASSERT_EQ(demo.cabinet.phase(), Phase::Flying);
  EXPECT_FALSE(demo.kit.wentAway(true));
  EXPECT_FALSE(demo.kit.overlays().standStill);
  EXPECT_EQ(demo.kit.overlays().badge, "DEMO");
  EXPECT_EQ(demo.kit.overlays().hint, "click or press a key to play");
  EXPECT_TRUE(demo.kit.takeFirstInput());
  EXPECT_EQ(demo.cabinet.phase(), Phase::Ready);
  EXPECT_EQ(demo.kit.overlays().badge, "");
  EXPECT_EQ(demo.kit.overlays().hint, "");
  // The player's sitting starts on a fresh clock, which real time follows from there on.
  demo.pass(1000);
  EXPECT_EQ(demo.form.clock.droppedUs(), 0) << "the demo's time was taken for a stall";
  EXPECT_GE(demo.form.clock.now(), 900 * Ms);

  KitWindow w;
  w.pass(100);
  EXPECT_FALSE(w.kit.wentAway(true)) << "the ready screen waits anyway";
  w.start();
  EXPECT_FALSE(w.kit.wentAway(false)) << "time that does not run cannot stand still";
  // A stall: the clock drops what it cannot catch up.
  w.pass(50);
  w.pass(2000, 2000);
  ASSERT_GT(w.form.clock.droppedUs(), 0);
  // Away in flight: nothing moves, however long.
  ASSERT_TRUE(w.kit.wentAway(true));
  EXPECT_TRUE(w.kit.overlays().standStill);
  // Its band, where both front ends paint it: across the whole field, on its middle row, with
  // "PAUSED" on it above how to go on.
  for (const float width : {frmCavewing::ScaleWidth, frmCavewing::WideOuterWidth}) {
    namespace kit = cabinet::kit;
    const kit::StandStillBoxes at = kit::standStillAcross(width, frmCavewing::ScaleHeight);
    EXPECT_EQ(at.band.top + at.band.height / 2, frmCavewing::ScaleHeight / 2 / kit::TwipsPerPixel);
    for (const kit::Box& b : {at.band, at.title, at.hint}) {
      EXPECT_EQ(std::pair(b.left, b.width), std::pair(0.f, width / kit::TwipsPerPixel));
      EXPECT_GE(b.top, at.band.top);
      EXPECT_LE(b.top + b.height, at.band.top + at.band.height);
    }
    EXPECT_LE(at.title.top + at.title.height, at.hint.top);
  }
  const std::int64_t stood = w.form.clock.now();
  w.pass(5000);
  // A late wake of the desktop's pump, or a frame of the display, moves nothing either.
  for (int i = 0; i < 2; ++i) {
    w.realUs += 1000 * Ms;
    w.kit.followRealTime(w.realUs, form::Clock::stallGridPoints);
    w.kit.followFrame(w.realUs, form::Clock::stallGridPoints);
  }
  EXPECT_EQ(w.form.clock.now(), stood);
  // The key that lifts it does nothing else: not its repeats, nor its release.
  EXPECT_TRUE(w.kit.takeFirstInput("Escape"));
  EXPECT_FALSE(w.kit.overlays().standStill);
  const cabinet::kit::KeyStroke esc{.name = "Escape", .code = 27, .character = 27};
  cabinet::kit::KeyStroke repeat = esc;
  repeat.autoRepeat = true;
  w.kit.key(repeat);
  w.kit.keyReleased(cabinet::kit::KeyStroke{.name = "Escape", .autoRepeat = true});
  w.kit.key(repeat);
  EXPECT_EQ(w.cabinet.phase(), Phase::Flying) << "the lifting key's repeats reached the game";
  // Real time resumes where the game stands: flight goes on at once, nothing caught up.
  w.pass(200);
  EXPECT_GE(w.form.clock.now() - stood, 150 * Ms) << "flight froze after the stand-still";
  EXPECT_LE(w.form.clock.now() - stood, 200 * Ms + TickUs);
  // Once the key is let go, the next press of it is the game's.
  w.kit.keyReleased(cabinet::kit::KeyStroke{.name = "Escape"});
  w.kit.key(esc);
  EXPECT_EQ(w.cabinet.phase(), Phase::Paused);
  // Paused, the game waits anyway; nothing is left to take a first input for.
  EXPECT_FALSE(w.kit.wentAway(true));
  EXPECT_FALSE(w.kit.takeFirstInput());
}

// Keeps out: a replay's ring drawn where its recorded player did not hold a button, or left
// behind when the player takes over.
TEST(KitReplay, TheRingShowsTheRecordedPressesAndGoesWithTheReplay) {
  const replay::Recording recording = recordingOf(
      {Event{.grid = 2, .kind = Kind::Start},
       Event{.grid = 10, .kind = Kind::Down, .button = Left, .x = 3000, .y = 9000},
       Event{.grid = 20, .kind = Kind::Up, .button = Left, .x = 3000, .y = 9000},
       Event{.grid = 30, .kind = Kind::Down, .onCopter = true, .button = Left, .x = 40, .y = 30}},
      400);
  KitWindow w(recording);
  const cabinet::kit::Overlays& shown = w.kit.overlays();
  EXPECT_EQ(shown.badge, "REPLAY");
  w.passTo(10);
  EXPECT_EQ(shown.ringX, 3000);
  EXPECT_EQ(shown.ringY, 9000);
  w.passTo(20);
  EXPECT_FALSE(shown.ringX || shown.ringY) << "the ring outlived its release";
  // A press recorded on the helicopter, where it was on the helicopter then.
  w.passTo(30);
  EXPECT_EQ(shown.ringX, w.form.imgCopter.Left + 40);
  EXPECT_EQ(shown.ringY, w.form.imgCopter.Top + 30);
  // The player's input ends the replay, its ring and its badge.
  w.kit.input(Event{.kind = Kind::Start});
  EXPECT_FALSE(w.cabinet.replaying());
  EXPECT_EQ(shown, cabinet::kit::Overlays{});
}

}  // namespace
