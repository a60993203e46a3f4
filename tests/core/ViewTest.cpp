// SPDX-License-Identifier: MIT
// The picture between grid points, on simulated displays of 60, 120 and 144 Hz: a real cabinet
// is run to each frame's time as a front end runs it, and the frame is painted through the view.
// In flight the cave glides evenly and never stands still for a frame; at a grid point the frame
// is the state; whatever jumped, and every phase in which the game stands still, is drawn as the
// state.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <tuple>
#include <vector>

#include "FakeHost.h"
#include "ScoresFixture.h"
#include "cabinet/Cabinet.h"
#include "cabinet/Paint.h"

namespace {

using replay::Event;
using Kind = replay::Event::Kind;

constexpr std::int64_t Second = 1'000'000;
constexpr float DevicePixel = 15;                      // twips, at a device pixel ratio of 1
constexpr int Cave = frmCavewing::LastFloorBlock + 2;  // the blocks, then the obstacle

// What a frame shows: every rectangle and picture painted, in order, with its picture.
struct Frame : cabinet::Painter {
  std::vector<std::array<float, 5>> drawn;
  void rectangle(const form::Shape& s) override { add(s, -1); }
  void picture(const form::Image& i) override { add(i, float(i.Picture)); }
  void label(const form::Label&) override {}
  void add(const form::Control& c, float picture) {
    drawn.push_back({c.Left, c.Top, c.Width, c.Height, picture});
  }
  bool operator==(const Frame& other) const { return drawn == other.drawn; }
};

// A display showing a cabinet: runs the game to each frame's time and paints the frame.
struct Display {
  TempFolder temp;
  FakeHost host;
  cabinet::Cabinet cabinet;
  const frmCavewing& form = cabinet.form();
  const cabinet::View& view = cabinet.view();
  // The cave's Left and the helicopter's Top at the grid points the game passed, latest last.
  std::vector<std::array<float, Cave>> caves;
  std::vector<float> copters;

  explicit Display(bool demo) : cabinet(host, sitting(demo)) {
    host.userDataPath = (temp.path / "user").string();
    cabinet.load();
    keep();
  }
  cabinet::Sitting sitting(bool demo) const {
    return cabinet::Sitting{.seed = 77,
                            .wide = false,
                            .scoresFile = (temp.path / "Cavewing.txt").string(),
                            .recordFile = {},
                            .demo = demo};
  }
  void keep() {
    std::array<float, Cave> cave{};
    for (int i = 0; i < Cave - 1; ++i) cave[i] = form.shptunnel[i].Left;
    cave[Cave - 1] = form.shpTunnelM.Left;
    caves.push_back(cave);
    copters.push_back(form.imgCopter.Top);
  }
  // Runs the game to the frame at `us`, grid point by grid point; returns how far along its
  // step the frame is.
  double frameAt(std::int64_t us) {
    const std::int64_t tick = form.clock.systemTick();
    const std::int64_t target = view.gridPointFor(us) * tick;
    while (form.clock.now() < target) {
      cabinet.advanceTo(form.clock.now() + tick);
      keep();
    }
    return view.fractionAt(us);
  }
  std::array<float, Cave> drawnCave(double fraction) const {
    std::array<float, Cave> cave{};
    for (int i = 0; i < Cave - 1; ++i) cave[i] = view.position(form.shptunnel[i], fraction).Left;
    cave[Cave - 1] = view.position(form.shpTunnelM, fraction).Left;
    return cave;
  }
  Frame painted(double fraction) const {
    Frame frame;
    cabinet::paint(form, view, fraction, frame);
    return frame;
  }
  Frame state() const {
    Frame frame;
    cabinet::paint(form, frame);
    return frame;
  }
  void input(Event event) {
    event.x = 3000;
    event.y = 5000;
    cabinet.input(event);
  }
};

// Whether a block of the cave (all are as wide as the obstacle) drawn at `left` shows.
bool onScreen(const frmCavewing& form, float left) {
  return left + form.shpTunnelM.Width > 0 && left < frmCavewing::ScaleWidth;
}

TEST(View, TheCaveGlidesEvenlyAtEveryRefreshRateAndWhatJumpedIsDrawnWhereItIs) {
  for (const int rate : {60, 120, 144}) {
    SCOPED_TRACE(rate);
    Display d(/*demo=*/true);
    const std::int64_t start = 2 * Second;  // the demo flies by then
    std::array<float, Cave> before = d.drawnCave(d.frameAt(start));
    std::array<bool, Cave> jumpedBefore{};
    float copterBefore = d.view.position(d.form.imgCopter, d.view.fractionAt(start)).Top;
    int copterStill = 0;
    ASSERT_EQ(d.cabinet.phase(), Phase::Flying);
    int jumps = 0, gridPoints = 0;
    for (int k = 1; k <= rate; ++k) {
      SCOPED_TRACE(k);
      const std::int64_t us = start + k * Second / rate;
      const std::int64_t lastUs = start + (k - 1) * Second / rate;
      const double fraction = d.frameAt(us);
      ASSERT_EQ(d.cabinet.phase(), Phase::Flying);
      const std::array<float, Cave> drawn = d.drawnCave(fraction);
      const auto& state = d.caves.back();
      const auto& previous = d.caves[d.caves.size() - 2];
      const float glide =
          -frmCavewing::ScrollStep * float(us - lastUs) / float(d.form.clock.systemTick());
      bool moved = false;
      std::array<bool, Cave> jumped{};
      for (int i = 0; i < Cave; ++i) {
        // Put back at the right end, or placed anew, at this grid point: no smear.
        jumped[i] = state[i] > previous[i];
        if (jumped[i]) {
          EXPECT_EQ(drawn[i], state[i]) << i;
          ++jumps;
        } else if (!jumpedBefore[i] && onScreen(d.form, drawn[i])) {
          EXPECT_NEAR(drawn[i] - before[i], glide, DevicePixel) << i;
          moved = moved || drawn[i] != before[i];
        }
      }
      EXPECT_TRUE(moved) << "the frame repeats the one before";
      if (fraction == 1) {
        ++gridPoints;
        EXPECT_EQ(drawn, state);
      }
      // The helicopter on its path: between where the rules put it at the last three grid
      // points, and moving in nearly every frame.
      const auto last = d.copters.end() - 3;
      const float copter = d.view.position(d.form.imgCopter, fraction).Top;
      EXPECT_GE(copter, *std::min_element(last, d.copters.end()));
      EXPECT_LE(copter, *std::max_element(last, d.copters.end()));
      copterStill += copter == copterBefore;
      copterBefore = copter;
      // The rest of the picture is the state's: what moves is drawn off its state along one axis.
      const Frame frame = d.painted(fraction), still = d.state();
      ASSERT_EQ(frame.drawn.size(), still.drawn.size());
      for (std::size_t c = 0; c < frame.drawn.size(); ++c) {
        const auto& [left, top, width, height, picture] = frame.drawn[c];
        EXPECT_TRUE(left == still.drawn[c][0] || top == still.drawn[c][1]) << c;
        EXPECT_EQ(std::tuple(width, height, picture),
                  std::tuple(still.drawn[c][2], still.drawn[c][3], still.drawn[c][4]));
      }
      before = drawn;
      jumpedBefore = jumped;
    }
    // It glides: it stands still for a frame only where it turns, not every second step.
    EXPECT_LT(copterStill * 8, rate);
    EXPECT_GT(jumps, 0);
    EXPECT_GT(gridPoints, 0);
  }
}

TEST(View, WhereTheGameStandsStillTheFrameIsTheState) {
  Display d(/*demo=*/false);
  const std::int64_t frame = Second / 144;
  std::int64_t us = 0;
  // Shows the next frame; whether it is the state's.
  const auto next = [&] {
    us += frame;
    const Frame shown = d.painted(d.frameAt(us));
    return shown == d.state();
  };
  // Ready.
  for (int k = 0; k < 20; ++k) EXPECT_TRUE(next()) << "ready, frame " << k;
  d.input(Event{.kind = Kind::Start});
  // Flying, holding the button now and then; then paused between two grid points.
  bool between = false;
  for (int k = 0; k < 72; ++k) {
    if (k % 24 == 0) d.input(Event{.kind = Kind::Down, .button = frmCavewing::LeftButton});
    if (k % 24 == 12) d.input(Event{.kind = Kind::Up, .button = frmCavewing::LeftButton});
    between = !next();
  }
  ASSERT_TRUE(between) << "the last frame in flight must lie between two states";
  ASSERT_EQ(d.cabinet.phase(), Phase::Flying);
  // Paused and resumed between two frames: the step ends there, the picture never goes back.
  const auto pause = [&] {
    d.input(Event{.kind = Kind::Down, .button = frmCavewing::RightButton});
  };
  pause();
  pause();
  ASSERT_EQ(d.cabinet.phase(), Phase::Flying);
  EXPECT_EQ(d.painted(d.view.fractionAt(us)), d.state());
  pause();
  ASSERT_EQ(d.cabinet.phase(), Phase::Paused);
  for (int k = 0; k < 20; ++k) EXPECT_TRUE(next()) << "paused, frame " << k;
  // Resumed: the rest of the step shows the state, then the cave moves again.
  pause();
  ASSERT_EQ(d.cabinet.phase(), Phase::Flying);
  EXPECT_EQ(d.painted(d.view.fractionAt(us)), d.state());
  // Into the ceiling: the crash frame is the crash's state, and so is every frame after it.
  d.input(Event{.kind = Kind::Down, .button = frmCavewing::LeftButton});
  while (d.cabinet.phase() == Phase::Flying && us < 10 * Second) next();
  ASSERT_EQ(d.cabinet.phase(), Phase::Crashed);
  EXPECT_EQ(d.painted(d.view.fractionAt(us)), d.state());
  EXPECT_EQ(d.form.imgCopter.Picture, form::Picture::Explosion);
  while (!d.form.lblTitle.Visible && us < 20 * Second) EXPECT_TRUE(next()) << "crashed";
  // The list.
  ASSERT_TRUE(d.form.lblTitle.Visible);
  for (int k = 0; k < 20; ++k) EXPECT_TRUE(next()) << "list, frame " << k;
}

// The time from a press to the first frame that shows the climb, on a 144 Hz display: through
// the view, with the game run to each frame's grid point, it is on average no longer than when a
// frame painted the state of the grid point reached, as frames did before. (Press by press it
// varies either way with the grid point that takes the press.)
TEST(View, APressShowsAsSoonAsInThePaintedState) {
  const int rate = 144;
  const std::int64_t frame = Second / rate, never = 2 * Second;
  // Where the helicopter is drawn in each frame of a flight with a press at `pressUs`.
  const auto flight = [&](std::int64_t pressUs, bool throughView) {
    Display d(/*demo=*/false);
    d.input(Event{.kind = Kind::Start});
    std::vector<float> drawn;
    for (int k = 1; k <= rate; ++k) {
      const std::int64_t us = k * frame;
      if (us >= pressUs && us - frame < pressUs)
        d.input(Event{.kind = Kind::Down, .button = frmCavewing::LeftButton});
      if (throughView) {
        drawn.push_back(d.view.position(d.form.imgCopter, d.frameAt(us)).Top);
      } else {
        d.cabinet.advanceTo(us);
        drawn.push_back(d.form.imgCopter.Top);
      }
    }
    return drawn;
  };
  // The mean time from a press to the first frame that differs from the flight without it.
  const auto meanLatency = [&](bool throughView) {
    const std::vector<float> unpressed = flight(never, throughView);
    std::int64_t total = 0;
    int presses = 0;
    // Presses spread over four steps of a fall.
    for (std::int64_t pressUs = 400'000; pressUs < 462'500; pressUs += 1'953, ++presses) {
      const std::vector<float> pressed = flight(pressUs, throughView);
      const auto first = std::mismatch(unpressed.begin(), unpressed.end(), pressed.begin()).first;
      EXPECT_NE(first, unpressed.end()) << pressUs;
      total += (first - unpressed.begin() + 1) * frame - pressUs;
    }
    return total / presses;
  };
  EXPECT_LE(meanLatency(true), meanLatency(false) + frame / 4);
}

}  // namespace
