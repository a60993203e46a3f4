// SPDX-License-Identifier: MIT
// What the player's game came to, in words for a screen reader.
#include "cabinet/kit/Result.h"

#include <sstream>

namespace cabinet::kit {

GameResult gameResult(const Cabinet& cabinet) {
  const frmCavewing& form = cabinet.form();
  GameResult result;
  if (cabinet.demoPlaying() || cabinet.phase() != Phase::Crashed) return result;
  result.crashed = true;
  result.score = form.lblScore.Caption;
  result.listed = gameListed(form);
  if (result.listed) result.rank = form.listRank(frmCavewing::ScoreValue(form.lblScore.Caption));
  return result;
}

std::string resultAsJson(const GameResult& r) {
  // The score is the rules' caption: digits, nothing to escape.
  std::ostringstream out;
  out << "{\"crashed\":" << (r.crashed ? "true" : "false")
      << ",\"listed\":" << (r.listed ? "true" : "false") << ",\"score\":\"" << r.score
      << "\",\"rank\":" << r.rank << "}";
  return out.str();
}

}  // namespace cabinet::kit
