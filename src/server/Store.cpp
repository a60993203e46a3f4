// SPDX-License-Identifier: MIT
#include "server/Store.h"

#include <chrono>
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
