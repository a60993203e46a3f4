// SPDX-License-Identifier: MIT
// Makes recorded sittings for the test that replays them natively and in WebAssembly and compares
// every grid point. Each sitting is made from its own number, the same every time. Most are flown
// by the demo's pilot, so that games last and the cave narrows; the others by a restless hand that
// climbs and falls at random. Around them a player pauses, presses keys, double-clicks, opens the
// menus and the help boxes, clicks the high-score list, starts again, and at the end leaves by
// File > Exit, by the close box, or not at all.
//
//   make_recordings FOLDER COUNT   writes FOLDER/generated-1.replay to generated-COUNT.replay
#include <array>
#include <filesystem>
#include <iostream>
#include <random>
#include <string>

#include "FakeHost.h"
#include "app/Phase.h"
#include "autopilot/Autopilot.h"
#include "cabinet/Deliver.h"
#include "replay/Recording.h"

namespace {

using replay::Event;
using Kind = Event::Kind;

// Names as players type them, with the characters a recording has to quote or keep as bytes.
constexpr std::array<const char*, 6> Players = {"JANE",        "bob",          "O\"BRIEN",
                                                "back\\slash", "\xc3\x89MILE", ""};

class Sitting {
public:
  explicit Sitting(int number, const std::filesystem::path& scores)
      : hand_(static_cast<std::uint64_t>(number)),
        piloted_(number % 3 != 2),
        lengthTicks_(number % 10 == 1 ? 64 * 180 : pick(300, 4000)),
        random_(std::uint64_t{20261209} + static_cast<std::uint64_t>(number)),
        form_(host_, random_, number % 7 == 4 ? 10'000 : 15'625) {
    recording_.systemTickUs = form_.clock.systemTick();
    recording_.seed = random_.Seed();
    // Now and then a window resized before load: the width the rules read is whatever was recorded.
    recording_.outerWidth = number % 4 == 1    ? frmCavewing::WideOuterWidth
                            : number % 11 == 3 ? 24'000.0f
                                               : frmCavewing::NormalOuterWidth;
    recording_.player = Players[static_cast<std::size_t>(number) % Players.size()];
    // The host answers as the headless replay's does, so that the sitting replays as it was made.
    host_.appPath = host_.userDataPath = scores.string();
    host_.environment["NWUSERNAME"] = recording_.player;
    host_.outerWidth = recording_.outerWidth;
    form_.scoresFile = (scores / "Cavewing.txt").string();
    form_.Form_Load();
  }

  replay::Recording play() {
    for (std::int64_t tick = 0; tick < lengthTicks_ && !host_.ended; ++tick) {
      form_.clock.advanceTo(form_.clock.now() + form_.clock.systemTick());
      host_.boxes.clear();
      steer();
      if (chance(1, 90)) now(somethingElse());
      if (ready() && chance(1, 40)) now({.kind = Kind::Start});
      if (form_.gameOver && form_.lblTitle.Visible && chance(1, 150)) {
        if (chance(1, 3)) now(labelClick());
        click(LeftButton);
      }
    }
    leave();
    recording_.endGrid = grid();
    return recording_;
  }

private:
  static constexpr int LeftButton = frmCavewing::LeftButton, RightButton = frmCavewing::RightButton;

  bool chance(int in, int outOf) {
    return std::uniform_int_distribution<int>(1, outOf)(hand_) <= in;
  }
  int pick(int from, int to) { return std::uniform_int_distribution<int>(from, to)(hand_); }
  template <class T, std::size_t N>
  T pickOf(const std::array<T, N>& choices) {
    return choices[static_cast<std::size_t>(pick(0, int(N) - 1))];
  }

  std::int64_t grid() const { return form_.clock.now() / form_.clock.systemTick(); }
  bool ready() const { return phaseOf(form_) == Phase::Ready && form_.cmdStart.Visible; }
  bool flying() const { return phaseOf(form_) == Phase::Flying; }

  // An input event now, recorded and handed to the game as the window hands it on.
  void now(Event e) {
    e.grid = grid();
    recording_.events.push_back(e);
    cabinet::deliver(form_, e);
  }
  Event mouse(Kind kind, int button) {
    return {.kind = kind,
            .onCopter = chance(1, 6),
            .button = button,
            .shift = pick(0, 7) < 6 ? 0 : pick(1, 7),
            // Quarter twips, as a screen of more than one device pixel per pixel gives them.
            .x = float(pick(0, 4 * 15239)) / 4,
            .y = float(pick(0, 4 * 10829)) / 4};
  }
  void click(int button) {
    now(mouse(Kind::Down, button));
    now(mouse(Kind::Up, button));
  }

  Event labelClick() {
    return {.kind = Kind::Label,
            .code = pick(1, 15),
            .name = pickOf(std::array{"lblName", "lblNumber", "lblScores", "lblTitle"})};
  }

  // The left button while flying: the pilot's, or a hand that changes its mind every so often.
  void steer() {
    const bool want = piloted_ ? flying() && autopilot::wantsClimb(form_)
                               : flying() && (chance(1, 25) ? !held_ : held_);
    if (want == held_) return;
    held_ = want;
    now(mouse(held_ ? Kind::Down : Kind::Up, LeftButton));
  }

  Event somethingElse() {
    switch (pick(0, 9)) {
      case 0:
        return mouse(Kind::Down, pickOf(std::array{RightButton, RightButton, 4}));
      case 1:
        return mouse(Kind::Up, pickOf(std::array{LeftButton, RightButton, 4}));
      case 2:
        return {.kind = Kind::KeyPress, .code = pickOf(std::array{32, 27, 13, 65, 97})};
      case 3:
        return {.kind = Kind::KeyDown,
                .shift = pick(0, 7),
                .code = pickOf(std::array{frmCavewing::KeyF4, frmCavewing::KeyX, 78, 72, 65})};
      case 4:
        return {.kind = Kind::DblClick};
      case 5:
        return {.kind = Kind::Release};
      case 6:
        return {.kind = Kind::Menu,
                .name = pickOf(std::array{"mnuScores", "mnuHow", "mnuAbout", "mnuNew"})};
      case 7:
        return labelClick();
      default:
        return mouse(Kind::Down, LeftButton);
    }
  }

  // The end of the sitting: File > Exit (where the menu allows it), the close box, or the
  // recording simply stops.
  void leave() {
    switch (pick(0, 2)) {
      case 0:
        now({.kind = Kind::Menu, .name = "mnuExit"});
        break;
      case 1:
        now({.kind = Kind::Close});
        break;
      default:
        break;
    }
  }

  std::mt19937_64 hand_;
  bool piloted_;
  std::int64_t lengthTicks_;
  FakeHost host_;
  form::Random random_;
  frmCavewing form_;
  replay::Recording recording_;
  bool held_ = false;
};

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 3) {
    std::cerr << "usage: make_recordings FOLDER COUNT\n";
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  const int count = std::stoi(argv[2]);
  std::filesystem::create_directories(folder);
  for (int number = 1; number <= count; ++number) {
    // Each sitting starts from an empty high-score table, as its replay does.
    const std::filesystem::path scores = folder / ("scores-" + std::to_string(number));
    std::filesystem::create_directories(scores);
    const replay::Recording recording = Sitting(number, scores).play();
    std::filesystem::remove_all(scores);
    const std::string file =
        (folder / ("generated-" + std::to_string(number) + ".replay")).string();
    if (std::string error; !replay::writeFile(file, recording, "", error)) {
      std::cerr << "make_recordings: cannot write " << file << ": " << error << "\n";
      return 1;
    }
  }
  return 0;
}
