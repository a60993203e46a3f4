// SPDX-License-Identifier: MIT
#include "server/Ranking.h"

#include "app/frmCavewing.h"
#include "cabinet/Headless.h"
#include "cabinet/kit/Result.h"
#include "form/QuotedRecords.h"

namespace server {

std::string playerName(const std::string& raw) {
  cabinet::HeadlessHost host(raw);
  return frmCavewing::UserNameFrom(host);
}

std::vector<Row> rowsOf(const std::string& table) {
  const auto fields = form::records::parse(table, 2 * 15);
  std::vector<Row> rows;
  for (std::size_t i = 0; i < fields.size(); i += 2)
    rows.push_back({fields[i], i + 1 < fields.size() ? fields[i + 1] : std::string()});
  return rows;
}

Ranked rankGame(const std::string& table, const std::string& player, const std::string& shown) {
  cabinet::HeadlessHost host(player);
  form::Random random(std::uint64_t{0});
  frmCavewing form(host, random);
  form.Form_Load();
  form.throwAwayTable = table;
  form.lblScore.Caption = shown;
  form.crashed = true;
  form.CalculateHighScores();
  Ranked out{*form.throwAwayTable, 0};
  if (out.table == table) return out;
  out.rank = cabinet::kit::listRank(form, frmCavewing::ScoreValue(shown));
  return out;
}

}  // namespace server
