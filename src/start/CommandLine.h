// SPDX-License-Identifier: MIT
// The program's command line: what a user may ask for when starting Cavewing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct CommandLine {
  enum class Action { Play, Help, Version, Error };
  Action action = Action::Play;
  bool wide = false;                  // open the window at the wide layout's outer width
  bool demo = false;                  // play by itself until a player clicks or presses a key
  bool mute = false;                  // start with the sounds muted
  std::optional<std::uint64_t> seed;  // the same seed gives the same cave
  std::string scoresFile;             // the high-score file; empty for the usual place
  std::string scoresServer;           // the score server's address (http or https); empty: none
  std::string recordFile;             // where to record the games; empty for the usual place
  std::string replayFile;             // a recorded game to play back
  bool headless = false;              // play the recording back without a window
  bool trace = false;                 // and print the state at every grid point
  std::string error;                  // what was wrong, for Action::Error

  static CommandLine parse(const std::vector<std::string>& args);
  static std::string usage(const std::string& program);
};
