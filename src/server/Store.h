// SPDX-License-Identifier: MIT
// Where the server keeps what it must not lose: the sittings it issued, each sitting's recording
// (once, as far as it was accepted), every game it ranked, the one table text, each day's cave
// (its seed and its own table), and every refusal with its reason (for the host to look at,
// within bounds). SQLite in one file, or PostgreSQL,
// which several server processes share. Each database holds its schema's version, and a database
// of an older version is brought up to this one when opened, losing nothing.
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
  std::string day;          // the day whose cave the sitting flies ("YYYY-MM-DD"), or empty
};

// The table as the file holds it, and the game each of its rows came from.
struct Scoreboard {
  std::string text;
  std::vector<std::string> games;
};

// A sitting's recording as kept: its text without comments, its events and its last grid point.
struct KeptRecording {
  std::string text;
  std::size_t events = 0;
  std::int64_t endGrid = 0;
};

// The recording a game was ranked from: its sitting's, of which the game's submission held the
// first `events` events up to `endGrid` (no `events`: the whole text, as older versions kept it).
struct GameRecording {
  std::string text;
  std::optional<std::size_t> events;
  std::int64_t endGrid = 0;
};

// A submission refused, for the host to look at; `body` is the recording, cut to its bound.
struct Refusal {
  std::string sitting, address, reason, body;
};

// What refusals keep: at most this of each one's recording (without comments; a 5-minute game is
// some 75 kB), and the newest refusals up to these numbers per address and in all, so at most
// 16 MiB per address and 512 MiB in all; the oldest go first.
inline constexpr std::size_t refusedBodyBytes = 256u << 10;
inline constexpr int refusalsPerAddress = 64, refusalsInAll = 2048;

// A game on the table's record, as it was ranked.
struct StoredGame {
  std::string id, player, shown;
  std::int64_t score = 0;
};
using Rebuild = std::function<Scoreboard(const std::vector<StoredGame>&)>;

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

  // The time now by the database's clock.
  virtual std::int64_t clockUs() = 0;
  // The seed of `day`'s cave: `fresh`, kept, when the day has none yet, else the one kept first.
  virtual std::uint64_t daySeed(const std::string& day, std::uint64_t fresh) = 0;
  // Keeps a new sitting, issued now (its `issuedUs` is not read).
  virtual void addSitting(const SittingRow& sitting) = 0;
  virtual std::optional<SittingRow> sitting(const std::string& id) = 0;
  // Under its table's lock (the all-time one, or its day's): if the sitting still has
  // `gamesRanked` games ranked, keeps `recording` as the sitting's (in place of the one before),
  // adds `games` as its next ones and replaces the table by `update` of it; false (and nothing
  // changed) when another submission ranked the sitting's games first.
  virtual bool rank(const SittingRow& sitting, const KeptRecording& recording,
                    const std::vector<NewGame>& games,
                    const std::function<Scoreboard(const Scoreboard&)>& update) = 0;
  // The all-time table, or `day`'s (empty when nobody flew that day's cave).
  virtual Scoreboard scoreboard(const std::string& day) = 0;
  virtual std::optional<GameRecording> gameRecording(const std::string& game) = 0;
  // Takes `game` off its table (the all-time one, or its day's) for `why` (the game and its
  // removal stay kept) and replaces that table by `rebuild` of the games left on it, in the order
  // they were ranked; false when no game on
  // the table's record has that ID.
  virtual bool removeGame(const std::string& game, const std::string& why,
                          const Rebuild& rebuild) = 0;
  // Keeps a refusal, and drops the oldest past the bounds above.
  virtual void keepApart(const Refusal& refusal) = 0;
};

// "postgresql://..." (or "postgres://...") opens PostgreSQL; anything else is a SQLite file.
// Throws StoreError when the database cannot be opened.
std::unique_ptr<Store> openStore(const std::string& db);
bool postgresUrl(const std::string& db);
std::unique_ptr<Store> openSqlite(const std::string& path);
std::unique_ptr<Store> openPostgres(const std::string& url);

// Copies the SQLite database `path` into the file `into` while servers go on using it (SQLite's
// online backup): the copy is the database as one moment left it. Throws StoreError.
void backupSqlite(const std::string& path, const std::string& into);

// The schema's version this server writes; opening a database of an older one brings it up.
inline constexpr int schemaVersion = 3;

// The time now by this machine's clock, in microseconds since 1970.
std::int64_t nowUs();

// The UTC day of the time `us` (microseconds since 1970), as "YYYY-MM-DD".
std::string dayOf(std::int64_t us);
// `text` when it names a day as "YYYY-MM-DD" does, else none.
std::optional<std::string> dayNamed(const std::string& text);

// The row games as kept in one text column, and back.
std::string joinGames(const std::vector<std::string>& games);
std::vector<std::string> splitGames(const std::string& text);

}  // namespace server
