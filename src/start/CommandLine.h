// SPDX-License-Identifier: MIT
// The program's command line: what a user may ask for when starting Cavewing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "replay/Recording.h"

struct CommandLine {
  enum class Action { Play, Help, Version, Error };
  Action action = Action::Play;
  bool wide{};                        // open the window at the wide layout's outer width
  bool demo{};                        // play by itself until a player clicks or presses a key
  bool mute{};                        // start with the sounds muted
  bool noGhost{};                     // start with the ghost hidden
  std::optional<std::uint64_t> seed;  // the same seed gives the same cave
  std::string scoresFile;             // the high-score file; empty for the usual place
  std::string scoresServer;           // the score server's address (http or https); empty: none
  bool today{};                       // today's cave, the same for everyone (the server's)
  std::string recordFile;             // where to record the games; empty for the usual place
  std::string replayFile;             // a recorded game to play back
  std::string ghostFile;              // a recorded game to fly against, on its cave
  std::optional<replay::Recording> ghost;  // that game, once read (by launch)
  bool headless{};                         // play the recording back without a window
  bool trace{};                            // and print the state at every grid point
  std::string error;                       // what was wrong, for Action::Error

  // The options as they were given, not yet checked: read from the program's words by
  // readWords (src/start/words), or made by the page from its address.
  struct Given {
    std::optional<Action> asked;  // Help or Version: the first of them given
    bool wide{}, demo{}, mute{}, noGhost{}, headless{}, trace{}, today{};
    std::optional<std::string> seed, scores, record, replay, ghost;  // each as given, when given
  };
  // What `given` asks for, or why it cannot be: the seed read as a number, and options that would
  // do nothing, or do not go together, refused.
  static CommandLine checked(const Given& given);
  static CommandLine refused(std::string why);
  static std::string usage(const std::string& program);
};
