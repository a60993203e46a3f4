// SPDX-License-Identifier: MIT
// The shared table, ranked by the game's own rules: each finished game goes through the form's
// ranking on a throw-away table that holds the server's table text, exactly as a desktop ranks
// into its file.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace server {

// The most characters of a name the list shows: its label is 4725 twips wide, and a letter of its
// Arial at 15.75 pt at most one em (315 twips).
inline constexpr std::size_t nameCharacters = 15;

// The name a player goes by on the shared table: as the rules make it of whatever they are given
// (upper case, one plain line), without the characters that reorder or hide text (controls,
// direction marks, embeddings, overrides and isolates, zero-width and other format characters,
// invisible fillers, bytes that are no character) and cut to what the list shows; empty when
// nothing is left of it. A recording's name, made so, is its sitting's.
std::string playerName(const std::string& raw);

struct Row {
  std::string name, score;
};
// The rows a table text holds, in list order.
std::vector<Row> rowsOf(const std::string& table);

struct Ranked {
  std::string table;  // the table text after the game, as the file would hold it
  int rank = 0;       // the game's row from 1, or 0 when it did not enter the table
};
// Ranks a game that ended in a crash with the score `shown` (the label's text) for `player`.
Ranked rankGame(const std::string& table, const std::string& player, const std::string& shown);

}  // namespace server
