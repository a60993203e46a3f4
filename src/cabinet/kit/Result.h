// SPDX-License-Identifier: MIT
// What the player's game came to, for a front end that says it in words (a screen reader's live
// region): the score at the crash, and the row the list gives it once the list is up. The demo's
// games are nobody's: they come to nothing here.
#pragma once

#include <cstdint>
#include <string>

#include "cabinet/Cabinet.h"

namespace cabinet::kit {

struct GameResult {
  bool crashed = false;  // the game has crashed, and the score is the one it crashed with
  bool listed = false;   // the list is up, the game ranked
  std::string score;     // as the player saw it
  int rank = 0;          // the list's row that holds the score under the player's name; 0: none
  friend bool operator==(const GameResult&, const GameResult&) = default;
};

GameResult gameResult(const Cabinet& cabinet);

// As JSON, for the page: {"crashed":..,"listed":..,"score":"..","rank":N}.
std::string resultAsJson(const GameResult& result);

}  // namespace cabinet::kit
