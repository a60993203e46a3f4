// SPDX-License-Identifier: MIT
// Opening the store a --db names (SQLite or PostgreSQL), and what both stores share.
#include "server/Store.h"

#include <chrono>
#include <cstdio>
#include <sstream>

namespace server {

bool postgresUrl(const std::string& db) {
  return db.rfind("postgresql://", 0) == 0 || db.rfind("postgres://", 0) == 0;
}

std::unique_ptr<Store> openStore(const std::string& db) {
  return postgresUrl(db) ? openPostgres(db) : openSqlite(db);
}

std::int64_t nowUs() {
  return std::chrono::duration_cast<std::chrono::microseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string dayOf(std::int64_t us) {
  using namespace std::chrono;
  const year_month_day date{floor<days>(sys_time<microseconds>(microseconds(us)))};
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
  return text;
}

std::optional<std::string> dayNamed(const std::string& text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  for (const std::size_t at : {0, 1, 2, 3, 5, 6, 8, 9})
    if (text[at] < '0' || text[at] > '9') return std::nullopt;
  using namespace std::chrono;
  const year_month_day date{year(std::stoi(text.substr(0, 4))),
                            month(static_cast<unsigned>(std::stoi(text.substr(5, 2)))),
                            day(static_cast<unsigned>(std::stoi(text.substr(8, 2))))};
  if (!date.ok()) return std::nullopt;
  return text;
}

std::string joinGames(const std::vector<std::string>& games) {
  std::string out;
  for (const auto& game : games) out += (out.empty() ? "" : " ") + (game.empty() ? "-" : game);
  return out;
}

std::vector<std::string> splitGames(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string game; in >> game;) out.push_back(game == "-" ? std::string() : game);
  return out;
}

}  // namespace server
