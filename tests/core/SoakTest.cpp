// SPDX-License-Identifier: MIT
// The soak: thousands of games on random seeds, played with random presses, releases, double
// clicks, keys, pauses, menu commands and New Game at random moments, some of them flown by the
// autopilot so that the cave gets to narrow. After every tick and every event the rules'
// invariants must hold. `make test` plays a few hundred games; `make soak` sets
// CAVEWING_SOAK_GAMES to play 10 000.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "CaveInvariants.h"
#include "ScoresFixture.h"
#include "app/Phase.h"
#include "autopilot/Autopilot.h"

namespace {

struct Figures {
  std::int64_t games = 0, ticks = 0, events = 0, crashes = 0, pauses = 0, newGames = 0;
  std::int64_t longestFlightTicks = 0;
  std::int32_t narrowestGap = 6900;
};

// One window, loaded on its own seed, whose high-score table lives in `folder`.
class SoakGame {
public:
  SoakGame(std::uint64_t seed, const std::filesystem::path& folder, bool piloted, Figures& figures)
      : random_(seed), inputs_(seed), piloted_(piloted), figures_(figures) {
    host.appPath = folder.string();
    host.environment["USERNAME"] = "soak";
    form.Form_Load();
    check("loading");
  }

  // Plays until `games` games have started and the last of them is over.
  void play(int games) {
    while (started_ < games || phase_ != Phase::Ready) {
      if (phase_ == Phase::Ready && started_ < games && form.cmdStart.Visible && chance(1, 30))
        act([&] { form.cmdStart_Click(); });
      else
        randomEvent();
      if (testing::Test::HasFatalFailure()) return;
      tick();
      if (testing::Test::HasFatalFailure()) return;
      // A piloted game that flies too long for the soak is ended by New Game, as a player may.
      if (phase_ == Phase::Flying && flightTicks_ > 64 * 300) act([&] { form.mnuNew_Click(); });
      ASSERT_LT(windowTicks_, 64 * 3600) << "an hour in one window: the game is stuck";
    }
  }

private:
  FakeHost host;
  form::Random random_;
  frmCavewing form{host, random_};

  bool chance(int in, int outOf) {
    return std::uniform_int_distribution<int>(1, outOf)(inputs_) <= in;
  }
  int pick(int from, int to) { return std::uniform_int_distribution<int>(from, to)(inputs_); }

  void tick() {
    form.clock.advanceTo(form.clock.now() + form.clock.systemTick());
    ++figures_.ticks;
    ++windowTicks_;
    if (phase_ == Phase::Flying) ++flightTicks_;
    check("tick");
  }

  template <class Event>
  void act(Event event) {
    event();
    ++figures_.events;
    host.boxes.clear();  // a box returns at once; nothing is kept of it
    check("event");
  }

  void randomEvent() {
    if (piloted_ && phase_ == Phase::Flying) {
      act([&] { pilot_.steer(form); });
      if (!chance(1, 500)) return;  // now and then the pilot's player does something else
    } else if (!chance(1, 8)) {
      return;
    }
    const float x = float(pick(0, 15239)), y = float(pick(0, 10829));
    const int button = std::array{1, 1, 1, 2, 4}[std::size_t(pick(0, 4))];
    const int shift = pick(0, 7);
    switch (pick(0, 13)) {
      case 0:
      case 1:
        act([&] { form.Form_MouseDown(button, shift, x, y); });
        break;
      case 2:
      case 3:
        act([&] { form.Form_MouseUp(button, shift, x, y); });
        break;
      case 4:
        act([&] { form.imgCopter_MouseDown(button, shift, x, y); });
        break;
      case 5:
        act([&] { form.imgCopter_MouseUp(button, shift, x, y); });
        break;
      case 6:
        act([&] { form.Form_DblClick(); });
        break;
      case 7:
        act([&] { form.Form_KeyPress(std::array{32, 27, 13, 65, 120}[std::size_t(pick(0, 4))]); });
        break;
      case 8:
        act([&] { form.ReleaseButton(); });
        break;
      case 9:
        // Only while the File menu is on, as the window's menu bar and Ctrl+N allow it.
        if (form.mnuFile.Enabled && chance(1, 4)) act([&] { form.mnuNew_Click(); });
        break;
      case 10:
        if (form.mnuScores.Enabled) act([&] { form.mnuScores_Click(); });
        break;
      case 11:
        if (form.mnuHelp.Enabled)
          act([&] { chance(1, 2) ? form.mnuHow_Click() : form.mnuAbout_Click(); });
        break;
      case 12:
        if (form.lblTitle.Visible) {
          const int row = pick(1, 15);
          act([&] {
            switch (pick(0, 3)) {
              case 0:
                form.lblName_Click(row);
                break;
              case 1:
                form.lblNumber_Click(row);
                break;
              case 2:
                form.lblScores_Click(row);
                break;
              default:
                form.lblTitle_Click();
            }
          });
        }
        break;
      default:
        if (form.cmdStart.Visible) act([&] { form.cmdStart_Click(); });
    }
  }

  // The rules' invariants, after one tick or one event.
  void check(const char* after) {
    SCOPED_TRACE(testing::Message() << "after " << after << " at " << form.clock.now() << " us");
    const Phase now = phaseOf(form);
    ASSERT_NE(now, Phase::None) << "flags: running " << form.gameRunning << " halted "
                                << form.halted << " over " << form.gameOver << " crashed "
                                << form.crashed;
    ASSERT_GE(form.pausesLeft, 0);
    ASSERT_LE(form.pausesLeft, 6);
    for (int i = 1; i <= 6; ++i) ASSERT_EQ(form.shpPause[i].Visible, i <= form.pausesLeft) << i;
    ASSERT_GE(form.gapHeight, 2400 - 15);
    ASSERT_LE(form.gapHeight, 6900);
    if (now == Phase::Ready) {
      ASSERT_EQ(form.score, 0);
      ASSERT_EQ(form.lblScore.Caption, "0");
      lastScore_ = 0;
    } else {
      ASSERT_GE(form.score, lastScore_) << "the score went back within a game";
      lastScore_ = form.score;
    }
    cave::checkShape(form);
    if (testing::Test::HasFatalFailure()) return;

    if (now != phase_) {
      if (now == Phase::Flying && phase_ == Phase::Ready) ++started_, ++figures_.games;
      if (now == Phase::Crashed) ++figures_.crashes;
      if (now == Phase::Paused && phase_ == Phase::Flying) ++figures_.pauses;
      if (now == Phase::Ready && phase_ != Phase::Crashed) ++figures_.newGames;
      if (now == Phase::Ready || now == Phase::Crashed) {
        figures_.longestFlightTicks = std::max(figures_.longestFlightTicks, flightTicks_);
        flightTicks_ = 0;
      }
    }
    figures_.narrowestGap = std::min(figures_.narrowestGap, form.gapHeight);
    phase_ = now;
  }

  std::mt19937_64 inputs_;
  bool piloted_;
  Figures& figures_;
  autopilot::Pilot pilot_;
  Phase phase_ = Phase::Ready;
  std::int64_t lastScore_ = 0;
  std::int64_t flightTicks_ = 0;
  int started_ = 0;
  std::int64_t windowTicks_ = 0;
};

int gamesToPlay() {
  const char* games = std::getenv("CAVEWING_SOAK_GAMES");
  return games ? std::atoi(games) : 300;
}

TEST(Soak, RandomGamesKeepEveryInvariantOfTheRules) {
  const int games = gamesToPlay();
  // `make test`'s few hundred games are always the same ones: on random seeds their piloted games
  // sometimes stopped short of the narrow cave, and the check below failed by chance. The long
  // soak takes new seeds each run.
  std::mt19937_64 seeds(std::getenv("CAVEWING_SOAK_GAMES") ? std::random_device{}() : 2026);
  const std::uint64_t first = seeds();
  RecordProperty("first_seed", std::to_string(first));
  seeds.seed(first);
  Figures figures;
  const TempFolder folder;
  while (figures.games < games) {
    const std::uint64_t seed = seeds();
    SCOPED_TRACE(testing::Message() << "seed " << seed);
    // One game in ten is flown by the autopilot; each window plays one to four games.
    SoakGame g(seed, folder.path, seed % 10 == 0, figures);
    g.play(1 + int(seed % 4));
    if (testing::Test::HasFatalFailure()) return;
  }
  std::printf(
      "soak: %lld games, %lld ticks (%.0f s of game time), %lld events, %lld crashes, "
      "%lld pauses, %lld new games before a crash; longest flight %.0f s, narrowest gap %d\n",
      (long long)figures.games, (long long)figures.ticks, double(figures.ticks) / 64,
      (long long)figures.events, (long long)figures.crashes, (long long)figures.pauses,
      (long long)figures.newGames, double(figures.longestFlightTicks) / 64, figures.narrowestGap);
  EXPECT_GT(figures.crashes, games / 4);
  EXPECT_GT(figures.pauses, games / 10);
  // The piloted games fly long enough for the cave to narrow well below its start.
  EXPECT_LT(figures.narrowestGap, 6000);
}

}  // namespace
