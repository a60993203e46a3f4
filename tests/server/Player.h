// SPDX-License-Identifier: MIT
// A player at a desktop with a seed the server issued: the cabinet records the sitting and ranks
// every game into a high-score file of its own, as the desktop does, so that a test can compare
// the server's table with the file the game wrote for the same games.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "autopilot/Autopilot.h"
#include "cabinet/Cabinet.h"

class Desk : public form::Host {
public:
  Desk(std::string player, std::filesystem::path folder, bool wide)
      : player_(std::move(player)), folder_(std::move(folder)), wide_(wide) {}
  void MsgBox(const std::string&, const std::string&) override {}
  void End() override {}
  std::string AppPath() override { return folder_.string(); }
  std::string UserDataPath() override { return folder_.string(); }
  std::string Environ(const std::string& name) override {
    return name == "NWUSERNAME" ? player_ : std::string();
  }
  void Show() override {}
  float OuterWidth() override {
    return wide_ ? frmCavewing::WideOuterWidth : frmCavewing::NormalOuterWidth;
  }
  void SetFocus(const form::CommandButton&) override {}
  void SetMousePointer(form::MousePointer) override {}
  double Timer() override { return 0; }

private:
  std::string player_;
  std::filesystem::path folder_;
  bool wide_;
};

class Player {
public:
  // `scores` is the high-score file the player's games rank into (players may share one).
  Player(std::uint64_t seed, const std::string& name, const std::filesystem::path& folder,
         const std::filesystem::path& scores, bool wide = false)
      : desk_(name, folder, wide),
        recordFile_(folder / "sitting.replay"),
        cabinet_(desk_, cabinet::Sitting{.seed = seed,
                                         .wide = wide,
                                         .scoresFile = scores.string(),
                                         .recordFile = recordFile_.string(),
                                         .demo = false}) {
    cabinet_.load();
    tick(8);
  }

  // Plays a game from the ready phase: the demo's pilot flies for `pilotTicks`, then lets go and
  // the helicopter falls; returns the score the list ranks, once the list shows it.
  std::string playGame(int pilotTicks) {
    cabinet_.input({.kind = replay::Event::Kind::Start});
    bool held = false;
    for (int t = 0; t < 64 * 600 && !listShown(); ++t) {
      const bool want = t < pilotTicks && cabinet_.phase() == Phase::Flying &&
                        autopilot::wantsClimb(cabinet_.form());
      if (want != held && cabinet_.phase() == Phase::Flying) {
        held = want;
        cabinet_.input({.kind = want ? replay::Event::Kind::Down : replay::Event::Kind::Up,
                        .button = frmCavewing::LeftButton,
                        .x = frmCavewing::ScaleWidth / 2,
                        .y = frmCavewing::ScaleHeight / 2});
      }
      tick(1);
    }
    return cabinet_.form().lblScore.Caption;
  }
  // From the list after a crash to the ready phase, as a click on the list does.
  void again() {
    cabinet_.input({.kind = replay::Event::Kind::Label, .code = 0, .name = "lblTitle"});
    tick(4);
  }
  void tick(int ticks) {
    for (int i = 0; i < ticks; ++i)
      cabinet_.advanceTo(cabinet_.clock().now() + cabinet_.clock().systemTick());
  }
  // The sitting so far, as the recorder keeps it on disk.
  std::string recording() const {
    std::ifstream in(recordFile_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  cabinet::Cabinet& cabinet() { return cabinet_; }

private:
  bool listShown() const {
    return cabinet_.phase() == Phase::Crashed && cabinet_.form().lblTitle.Visible;
  }

  Desk desk_;
  std::filesystem::path recordFile_;
  cabinet::Cabinet cabinet_;
};
