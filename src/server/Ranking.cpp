// SPDX-License-Identifier: MIT
#include "server/Ranking.h"

#include "app/frmCavewing.h"
#include "form/QuotedRecords.h"

namespace server {

namespace {

// What the form asks of the world while it ranks: the player's name, and nothing else that
// matters (the message box for a new high score goes to no one).
class RankingHost : public form::Host {
public:
  explicit RankingHost(std::string player) : player_(std::move(player)) {}
  void MsgBox(const std::string&, const std::string&) override {}
  void End() override {}
  std::string AppPath() override { return {}; }
  std::string UserDataPath() override { return {}; }
  std::string Environ(const std::string& name) override {
    return name == "NWUSERNAME" ? player_ : std::string();
  }
  void Show() override {}
  float OuterWidth() override { return frmCavewing::NormalOuterWidth; }
  void SetFocus(const form::CommandButton&) override {}
  void SetMousePointer(form::MousePointer) override {}
  double Timer() override { return 0; }

private:
  std::string player_;
};

}  // namespace

std::string playerName(const std::string& raw) {
  RankingHost host(raw);
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
  RankingHost host(player);
  form::Random random(std::uint64_t{0});
  frmCavewing form(host, random);
  form.Form_Load();
  form.throwAwayTable = table;
  form.lblScore.Caption = shown;
  form.crashed = true;
  form.CalculateHighScores();
  Ranked out{*form.throwAwayTable, 0};
  if (out.table == table) return out;
  const std::int64_t score = frmCavewing::ScoreValue(shown);
  for (int row = 1; row <= form.highScoreCount; ++row)
    if (form.lblName[row].Caption == form.userName &&
        frmCavewing::ScoreValue(form.lblScores[row].Caption) == score)
      out.rank = row;
  return out;
}

}  // namespace server
