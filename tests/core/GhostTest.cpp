// SPDX-License-Identifier: MIT
// The ghost to beat: a recorded game's helicopter beside a live try on the same seed, grid point
// for grid point since each START, until the ghost's crash; and the command line's ghost.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "FakeHost.h"
#include "ScoresFixture.h"
#include "app/Phase.h"
#include "cabinet/kit/Kit.h"
#include "start/words/Words.h"

namespace {

constexpr std::int64_t TickUs = 15625;

// What a grid point leaves of a game: the cave's walls, the obstacle and the helicopter.
struct Seen {
  std::vector<std::array<float, 3>> walls;  // left, top, height of each block, then the obstacle
  float copterTop = 0;
  Phase phase = Phase::None;
  std::optional<cabinet::kit::GhostAt> ghost;  // the live try's
};

Seen seen(const frmCavewing& f) {
  Seen s;
  s.copterTop = f.imgCopter.Top;
  s.phase = phaseOf(f);
  for (int i = 0; i <= frmCavewing::LastFloorBlock; ++i)
    s.walls.push_back({f.shptunnel[i].Left, f.shptunnel[i].Top, f.shptunnel[i].Height});
  s.walls.push_back({f.shpTunnelM.Left, f.shpTunnelM.Top, f.shpTunnelM.Height});
  return s;
}

struct Screen : cabinet::kit::Kit::Screen {
  void changed() override {}
  void timeStands(bool) override {}
};

// The recording played back as a window plays it, grid point by grid point.
std::vector<Seen> replayed(const replay::Recording& recording) {
  FakeHost host;
  cabinet::Cabinet cabinet(host, recording);
  cabinet.load();
  std::vector<Seen> grid{seen(cabinet.form())};
  while (!cabinet.replayOver()) {
    cabinet.advanceTo(cabinet.clock().now() + TickUs);
    grid.push_back(seen(cabinet.form()));
  }
  return grid;
}

// A player's sitting on the recording's seed, with its ghost, flying the recorded moves `later`
// grid points later than the recording did (its START too), on real time through the kit.
std::vector<Seen> flownLater(const replay::Recording& recording, std::int64_t later) {
  TempFolder temp;
  FakeHost host;
  host.userDataPath = (temp.path / "user").string();
  cabinet::Cabinet cabinet(host,
                           cabinet::Sitting{.seed = recording.seed,
                                            .scoresFile = (temp.path / "Cavewing.txt").string(),
                                            .recordFile = (temp.path / "sitting").string()});
  Screen screen;
  cabinet::kit::Kit kit(cabinet, screen);
  kit.load();
  kit.setGhost(cabinet::kit::Ghost(recording));
  std::vector<Seen> grid{seen(cabinet.form())};
  auto event = recording.events.begin();
  for (std::int64_t g = 1; g <= recording.endGrid + later; ++g) {
    kit.followRealTime(g * TickUs, form::Clock::stallGridPoints);
    for (; event != recording.events.end() && event->grid + later == g; ++event) kit.input(*event);
    grid.push_back(seen(cabinet.form()));
    grid.back().ghost = kit.overlays().ghost;
  }
  return grid;
}

std::int64_t firstGrid(const std::vector<Seen>& grid, Phase phase) {
  for (std::size_t g = 0; g < grid.size(); ++g)
    if (grid[g].phase == phase) return std::int64_t(g);
  return -1;
}

replay::Recording recordingOf(const std::string& name) {
  const auto read = replay::readFile(std::string(CAVEWING_REPLAYS) + "/" + name);
  EXPECT_TRUE(read.recording) << name << ": " << read.error;
  return read.recording.value_or(replay::Recording{});
}

TEST(Ghost, FliesBesideALiveTryOnTheSameCaveFromStartUntilItsCrash) {
  constexpr std::int64_t Later = 37;
  for (const char* name : {"new-high-score.replay", "paused-climb.replay"}) {
    SCOPED_TRACE(name);
    const replay::Recording recording = recordingOf(name);
    const cabinet::kit::Ghost ghost(recording);
    const std::vector<Seen> recorded = replayed(recording);
    const std::vector<Seen> live = flownLater(recording, Later);
    const std::int64_t start = firstGrid(recorded, Phase::Flying);
    const std::int64_t crash = firstGrid(recorded, Phase::Crashed);
    ASSERT_GT(start, 0);
    ASSERT_GT(crash, start);
    ASSERT_EQ(firstGrid(live, Phase::Flying), start + Later) << "the live START is later";
    for (std::int64_t k = 0; k <= crash - start; ++k) {
      const Seen& was = recorded[std::size_t(start + k)];
      const Seen& is = live[std::size_t(start + Later + k)];
      ASSERT_EQ(is.walls, was.walls) << "the same cave " << k << " grid points after START";
      const std::optional<cabinet::kit::GhostPlace> place = ghost.at(k);
      ASSERT_TRUE(place) << k;
      EXPECT_EQ(place->top, was.copterTop) << k;
      // The live try shows its ghost while it flies, at the recorded helicopter's height.
      EXPECT_EQ(is.ghost.has_value(), is.phase == Phase::Flying) << k;
      if (is.ghost) {
        EXPECT_EQ(is.ghost->top, was.copterTop) << k;
      }
    }
    EXPECT_FALSE(ghost.at(-1)) << "nothing before START";
    EXPECT_FALSE(ghost.at(crash - start + 1)) << "nothing after the crash";
    EXPECT_FALSE(live.back().ghost) << "none once the live try crashed";
  }
  EXPECT_FALSE(cabinet::kit::Ghost::fromText("cavewing-replay 2\nnonsense\n"));
}

TEST(Ghost, TheCommandLineFliesTheGhostsCaveAndShowsIt) {
  const std::string file = std::string(CAVEWING_REPLAYS) + "/paused-climb.replay";
  std::optional<CommandLine> opened;
  std::ostringstream out, err;
  launch({"--ghost", file}, out, err, [&](const CommandLine& options, const replay::Recording*) {
    opened = options;
    return 0;
  });
  ASSERT_TRUE(opened) << err.str();
  EXPECT_EQ(opened->seed, recordingOf("paused-climb.replay").seed) << "the ghost's own cave";
  EXPECT_EQ(opened->ghost, recordingOf("paused-climb.replay"));
  EXPECT_EQ(launch({"--ghost", file, "--seed", "3"}, out, err, {}), 2);
  EXPECT_EQ(launch({"--ghost", std::string(CAVEWING_REPLAYS) + "/none"}, out, err, {}), 2);
}

}  // namespace
