// SPDX-License-Identifier: MIT
// The shared table ranked by the game's own rules.
#include "server/Ranking.h"

#include "app/frmCavewing.h"
#include "cabinet/Headless.h"
#include "form/QuotedRecords.h"
#include "form/Utf8Text.h"

namespace server {

namespace {

// Characters that change how the text around them reads, or show nothing where they stand.
bool hidesOrReorders(char32_t c) {
  constexpr std::pair<char32_t, char32_t> ranges[] = {
      {0x0000, 0x001F}, {0x007F, 0x009F},   {0x00AD, 0x00AD},   {0x034F, 0x034F},  {0x061C, 0x061C},
      {0x115F, 0x1160}, {0x17B4, 0x17B5},   {0x180B, 0x180F},   {0x200B, 0x200F},  {0x2028, 0x202E},
      {0x2060, 0x206F}, {0x3164, 0x3164},   {0xFE00, 0xFE0F},   {0xFEFF, 0xFEFF},  {0xFFA0, 0xFFA0},
      {0xFFF9, 0xFFFD}, {0x1BCA0, 0x1BCA3}, {0x1D173, 0x1D17A}, {0xE0000, 0xE0FFF}};
  for (const auto& [first, last] : ranges)
    if (c >= first && c <= last) return true;
  return false;
}

std::string trimmed(const std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

std::string playerName(const std::string& raw) {
  cabinet::HeadlessHost host(raw);
  std::string shown, name;
  for (const char32_t c : form::utf8::decode(frmCavewing::UserNameFrom(host)))
    if (!hidesOrReorders(c)) form::utf8::append(shown, c);
  for (const char32_t c : form::utf8::decode(trimmed(shown)).substr(0, nameCharacters))
    form::utf8::append(name, c);
  return trimmed(name);
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
  out.rank = form.listRank(frmCavewing::ScoreValue(shown));
  return out;
}

}  // namespace server
