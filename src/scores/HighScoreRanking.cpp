// SPDX-License-Identifier: MIT
// The ranking of a finished game: the table is reloaded from the file, and after a crash a score
// that beats the player's own entry (or, for a new name, the last row) takes its place, keeping
// one row per name. The table is then saved and the player congratulated, once it really is.
#include <cstdint>
#include <limits>
#include <string_view>

#include "app/frmCavewing.h"

std::int64_t frmCavewing::ScoreValue(std::string_view text) {
  std::size_t p = text.find_first_not_of(" \t");
  if (p == std::string_view::npos) return 0;
  const bool negative = text[p] == '-';
  if (text[p] == '-' || text[p] == '+') ++p;
  constexpr std::int64_t limit = std::numeric_limits<std::int64_t>::max();
  std::int64_t value = 0;
  for (; p < text.size() && text[p] >= '0' && text[p] <= '9'; ++p) {
    const int digit = text[p] - '0';
    if (value > (limit - digit) / 10) return negative ? -limit : limit;
    value = value * 10 + digit;
  }
  return negative ? -value : value;
}

int frmCavewing::listRank(std::int64_t shown) const {
  for (int row = 1; row <= highScoreCount; ++row)
    if (lblName[row].Caption == userName && ScoreValue(lblScores[row].Caption) == shown) return row;
  return 0;
}

void frmCavewing::CalculateHighScores() {
  const std::int64_t newScore = ScoreValue(lblScore.Caption);
  GetUsername();
  // Held from reading to saving, so that a save by another player in between is merged, not lost.
  if (!throwAwayTable) heldTable = openTable();
  ReadScores();

  // The player's own best entry if there is one, else the last row.
  std::int64_t reference = 0;
  for (loopIndex = 1; loopIndex <= highScoreCount; ++loopIndex) {
    reference = ScoreValue(lblScores[loopIndex].Caption);
    if (lblName[loopIndex].Caption == userName) break;
  }
  if (!(reference < newScore && crashed)) {
    releaseTable();
    return;
  }

  // Equal scores stay above the new entry.
  int insertAt = 1;
  while (insertAt < highScoreCount && ScoreValue(lblScores[insertAt].Caption) >= newScore)
    ++insertAt;
  // The player's older entry makes room; without one, the last row drops off.
  int source = insertAt;
  while (source < highScoreCount && lblName[source].Caption != userName) ++source;
  for (loopIndex = source; loopIndex > insertAt; --loopIndex) {
    lblScores[loopIndex].Caption = lblScores[loopIndex - 1].Caption;
    lblName[loopIndex].Caption = lblName[loopIndex - 1].Caption;
  }
  lblScores[insertAt].Caption = std::to_string(newScore);
  lblName[insertAt].Caption = userName;

  const bool saved = WriteScores();
  heldTable.reset();  // not held while the box waits for the player
  // The box claims a save: a table that was not saved shows the list without it (WriteScores has
  // said why, once).
  if (saved) host.MsgBox("You have a new high score!!!", "New High Score");
}
