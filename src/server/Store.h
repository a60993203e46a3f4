// SPDX-License-Identifier: MIT
// Where the server keeps what it must not lose: the sittings it issued, every recording it
// accepted, every game it ranked, the one table text and the recordings it refused for a score
// that differs from the replay's (for the host to look at). SQLite in one file, or PostgreSQL,
// which several server processes share.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace server {

// Times are microseconds since 1970 by the database's clock (SQLite's is its one server's), so
// that servers whose own clocks differ agree on every sitting's age.
struct SittingRow {
  std::string id;
  std::uint64_t seed = 0;
  std::string player;
  std::int64_t issuedUs = 0;  // when the seed was issued
  int gamesRanked = 0;
  std::string recording;    // the last recording accepted, or empty
  std::int64_t lastUs = 0;  // when the sitting last ranked a game, or its seed's issue
  std::int64_t readUs = 0;  // when the row was read
};

// The table as the file holds it, and the game each of its rows came from.
struct Scoreboard {
  std::string text;
  std::vector<std::string> games;
};

struct NewGame {
  std::string id;
  std::string shown;  // the score as the list ranked it
  std::int64_t score = 0;
};

struct StoreError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

class Store {
public:
  virtual ~Store() = default;

  // Keeps a new sitting, issued now (its `issuedUs` is not read).
  virtual void addSitting(const SittingRow& sitting) = 0;
  virtual std::optional<SittingRow> sitting(const std::string& id) = 0;
  // Under the table's lock: if the sitting still has `ranked` games ranked, keeps `recording`,
  // adds `games` as its next ones and replaces the table by `update` of it; false (and nothing
  // changed) when another submission ranked the sitting's games first.
  virtual bool rank(const std::string& sitting, int ranked, const std::string& recording,
                    const std::vector<NewGame>& games,
                    const std::function<Scoreboard(const Scoreboard&)>& update) = 0;
  virtual Scoreboard scoreboard() = 0;
  // The recording a game was ranked from.
  virtual std::optional<std::string> gameRecording(const std::string& game) = 0;
  virtual void keepApart(const std::string& sitting, const std::string& reason,
                         const std::string& recording) = 0;
};

// "postgresql://..." (or "postgres://...") opens PostgreSQL; anything else is a SQLite file.
// Throws StoreError when the database cannot be opened.
std::unique_ptr<Store> openStore(const std::string& db);
std::unique_ptr<Store> openSqlite(const std::string& path);
std::unique_ptr<Store> openPostgres(const std::string& url);

// The time now by this machine's clock, in microseconds since 1970.
std::int64_t nowUs();

// The row games as kept in one text column, and back.
std::string joinGames(const std::vector<std::string>& games);
std::vector<std::string> splitGames(const std::string& text);

}  // namespace server
