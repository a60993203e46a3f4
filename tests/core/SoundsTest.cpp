// SPDX-License-Identifier: MIT
// The sounds over recorded games: each cue at the grid point where the game changes, once, and
// nothing at all while muted.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeHost.h"
#include "cabinet/kit/Sounds.h"
#include "replay/Recording.h"

namespace {

using cabinet::kit::Sound;

const char* nameOf(Sound sound) {
  constexpr const char* names[] = {"rotor", "climb", "crash", "pause", "resume", "high score"};
  return names[int(sound)];
}

// A recorded game replayed grid point by grid point, its sounds heard as a front end hears them:
// after every grid point, and as a box opens.
struct HeardGame : cabinet::kit::Kit::Screen, cabinet::kit::Speaker {
  FakeHost host;
  replay::Recording recording;
  cabinet::Cabinet cabinet;
  cabinet::kit::Kit kit{cabinet, *this};
  cabinet::kit::Sounds sounds;
  std::vector<std::string> heard;  // "GRID what"

  HeardGame(const char* file, bool muted)
      : recording(read(file)), cabinet(host, recording), sounds(*this, muted) {
    host.whileBoxIsOpen = [this] { sounds.boxOpens(host.boxes.back().title); };
    kit.load();
  }
  static replay::Recording read(const char* file) {
    auto read = replay::readFile(std::string(CAVEWING_REPLAYS) + "/" + file);
    EXPECT_TRUE(read.recording) << read.error;
    return read.recording ? *read.recording : replay::Recording{};
  }
  // Plays to grid point `last`, or to the recording's end.
  void play(std::int64_t last = -1) {
    if (last < 0) last = recording.endGrid;
    for (std::int64_t g = cabinet.grid() + 1; g <= last; ++g) {
      cabinet.advanceTo(g * cabinet.clock().systemTick());
      sounds.follow(kit);
    }
  }
  void changed() override {}
  void timeStands(bool) override {}
  void loop(Sound sound, bool on) override {
    hear(std::string(nameOf(sound)) + (on ? " on" : " off"));
  }
  void play(Sound sound) override { hear(nameOf(sound)); }
  void hear(const std::string& what) {
    heard.push_back(std::to_string(cabinet.grid()) + " " + what);
  }
};

TEST(Sounds, EachCueComesAtTheGridPointOfItsChange) {
  // Started at 2 and paused at 3 (right button); the left press at 643 resumes and climbs, the
  // right one at 659 pauses in the climb, and the press at 1300 resumes into a climb that meets
  // the ceiling. The replay's throw-away table takes the score: the box congratulates.
  HeardGame paused("paused-climb.replay", false);
  paused.play();
  EXPECT_EQ(paused.heard, (std::vector<std::string>{
                              "2 rotor on", "3 pause", "3 rotor off", "643 resume", "643 rotor on",
                              "643 climb on", "659 pause", "659 rotor off", "659 climb off",
                              "1300 resume", "1300 rotor on", "1300 climb on", "1332 crash",
                              "1332 rotor off", "1332 climb off", "1409 high score"}));

  // Many short climbs: each press starts the climb and each release stops it; one crash.
  HeardGame climbs("new-high-score.replay", false);
  climbs.play();
  const auto count = [&](const std::string& what) {
    return std::count_if(climbs.heard.begin(), climbs.heard.end(),
                         [&](const std::string& h) { return h.substr(h.find(' ') + 1) == what; });
  };
  std::int64_t presses = 0;
  for (const replay::Event& e : climbs.recording.events)
    presses += e.kind == replay::Event::Kind::Down && e.button == frmCavewing::LeftButton;
  EXPECT_EQ(count("climb on"), presses);
  EXPECT_EQ(count("climb off"), presses);
  EXPECT_EQ(count("crash"), 1);
  EXPECT_EQ(count("high score"), 1);
}

TEST(Sounds, MuteSilencesEverySoundAndStopsTheLoopsAtOnce) {
  HeardGame muted("new-high-score.replay", true);
  muted.play();
  EXPECT_EQ(muted.heard, std::vector<std::string>{}) << "a muted game sounds nothing";

  // Muted in the middle of a climb: the loops stop then, and nothing sounds after; unmuted, the
  // rotor turns again at the next grid point.
  HeardGame climbing("paused-climb.replay", false);
  climbing.play(1310);
  climbing.sounds.mute(true);
  climbing.play(1320);
  climbing.sounds.mute(false);
  climbing.play(1321);
  const std::vector<std::string> tail(climbing.heard.end() - 4, climbing.heard.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"1310 rotor off", "1310 climb off", "1321 rotor on",
                                            "1321 climb on"}));
}

}  // namespace
