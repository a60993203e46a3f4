// SPDX-License-Identifier: MIT
#include "cabinet/kit/Result.h"

#include <sstream>

namespace cabinet::kit {

int listRank(const frmCavewing& form, std::int64_t score) {
  for (int row = 1; row <= form.highScoreCount; ++row)
    if (form.lblName[row].Caption == form.userName &&
        frmCavewing::ScoreValue(form.lblScores[row].Caption) == score)
      return row;
  return 0;
}

GameResult gameResult(const Cabinet& cabinet) {
  const frmCavewing& form = cabinet.form();
  GameResult result;
  if (cabinet.demoPlaying() || cabinet.phase() != Phase::Crashed) return result;
  result.crashed = true;
  result.score = form.lblScore.Caption;
  // The ranking runs as the list comes up, after the crash's banner.
  result.listed = form.lblTitle.Visible && !form.lblCRASH.Visible;
  if (result.listed) result.rank = listRank(form, frmCavewing::ScoreValue(form.lblScore.Caption));
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
