// SPDX-License-Identifier: MIT
// SQLite: one file, one connection, every step behind one lock. Write-ahead logging, synchronised
// at each checkpoint rather than at each commit: a submission answered is in the log, which a
// crash or a kill of the server does not lose (a crash of the whole machine may lose the last
// moments). A sync per commit would hold the lock for a disk's round trip at every ranking.
#include <sqlite3.h>

#include <mutex>

#include "server/Store.h"

namespace server {

namespace {

// The tables as the first version made them: a new database starts there and is brought up.
constexpr const char* Version1 = R"(
CREATE TABLE IF NOT EXISTS sittings (id TEXT PRIMARY KEY, seed INTEGER NOT NULL,
  player TEXT NOT NULL, issued_us INTEGER NOT NULL, games_ranked INTEGER NOT NULL DEFAULT 0,
  recording INTEGER);
CREATE TABLE IF NOT EXISTS recordings (id INTEGER PRIMARY KEY, sitting TEXT NOT NULL,
  body TEXT NOT NULL, received_us INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS games (id TEXT PRIMARY KEY, sitting TEXT NOT NULL,
  number INTEGER NOT NULL, recording INTEGER NOT NULL, player TEXT NOT NULL, shown TEXT NOT NULL,
  score INTEGER NOT NULL, ranked_us INTEGER NOT NULL, UNIQUE (sitting, number));
CREATE TABLE IF NOT EXISTS scoreboard (id INTEGER PRIMARY KEY CHECK (id = 1), body TEXT NOT NULL,
  games TEXT NOT NULL);
INSERT OR IGNORE INTO scoreboard (id, body, games) VALUES (1, '', '');
CREATE TABLE IF NOT EXISTS refused (id INTEGER PRIMARY KEY, sitting TEXT NOT NULL,
  reason TEXT NOT NULL, body TEXT NOT NULL, received_us INTEGER NOT NULL);
)";

// Version 2: a sitting keeps one recording, each game how much of it was its submission's (an
// older game keeps the recording row it had) and its place in the order of rankings (an older
// one's is its time); refusals keep their address; removed games.
constexpr const char* ToVersion2 = R"(
ALTER TABLE games ADD COLUMN events INTEGER;
ALTER TABLE games ADD COLUMN end_grid INTEGER;
ALTER TABLE games ADD COLUMN ranked_order INTEGER;
ALTER TABLE scoreboard ADD COLUMN rankings INTEGER NOT NULL DEFAULT 0;
ALTER TABLE refused ADD COLUMN address TEXT NOT NULL DEFAULT '';
CREATE INDEX refused_by_address ON refused (address, id);
CREATE TABLE removed (game TEXT PRIMARY KEY, why TEXT NOT NULL, removed_us INTEGER NOT NULL);
PRAGMA user_version = 2;
)";

// Version 3: each day's cave, its seed and its own table; a sitting's day, when it flies one.
constexpr const char* ToVersion3 = R"(
CREATE TABLE days (day TEXT PRIMARY KEY, seed INTEGER NOT NULL, body TEXT NOT NULL DEFAULT '',
  games TEXT NOT NULL DEFAULT '', rankings INTEGER NOT NULL DEFAULT 0);
ALTER TABLE sittings ADD COLUMN day TEXT;
PRAGMA user_version = 3;
)";

// The games on the record of the table of the day ?1 (the all-time one for none), not removed, in
// the order they were ranked: a day's table holds each of its sittings' first game only.
constexpr const char* RankedGames =
    "SELECT g.id, g.player, g.shown, g.score FROM games g LEFT JOIN sittings s ON s.id = g.sitting "
    "WHERE g.id NOT IN (SELECT game FROM removed) AND s.day IS ?1 AND (?1 IS NULL OR g.number = 0) "
    "ORDER BY g.ranked_order IS NOT NULL, g.ranked_order, g.ranked_us, g.sitting, g.number";

class Statement {
public:
  Statement(sqlite3* db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db, sql, -1, &s_, nullptr) != SQLITE_OK)
      throw StoreError(std::string("database: ") + sqlite3_errmsg(db));
  }
  ~Statement() { sqlite3_finalize(s_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& bind(int i, const std::string& text) {
    sqlite3_bind_text(s_, i, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
  }
  Statement& bind(int i, std::int64_t value) {
    sqlite3_bind_int64(s_, i, value);
    return *this;
  }
  // True while there is a row.
  bool step() {
    const int rc = sqlite3_step(s_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw StoreError(std::string("database: ") + sqlite3_errmsg(db_));
  }
  Statement& stepped() {
    step();
    return *this;
  }
  bool null(int i) { return sqlite3_column_type(s_, i) == SQLITE_NULL; }
  std::string text(int i) {
    const auto* p = sqlite3_column_text(s_, i);
    return p ? std::string(reinterpret_cast<const char*>(p),
                           static_cast<std::size_t>(sqlite3_column_bytes(s_, i)))
             : std::string();
  }
  std::int64_t integer(int i) { return sqlite3_column_int64(s_, i); }

private:
  sqlite3* db_;
  sqlite3_stmt* s_ = nullptr;
};

class SqliteStore : public Store {
public:
  explicit SqliteStore(const std::string& path) {
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
      const std::string why = db_ ? sqlite3_errmsg(db_) : "out of memory";
      sqlite3_close(db_);
      throw StoreError("cannot open " + path + ": " + why);
    }
    sqlite3_busy_timeout(db_, 10'000);
    exec("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
    inTransaction([&] {
      const std::int64_t version = Statement(db_, "PRAGMA user_version").stepped().integer(0);
      if (version > schemaVersion)
        throw StoreError(path + " is of a newer server (schema " + std::to_string(version) + ")");
      exec(Version1);
      if (version < 2) exec(ToVersion2);
      if (version < 3) exec(ToVersion3);
    });
  }
  ~SqliteStore() override { sqlite3_close(db_); }

  std::int64_t clockUs() override { return nowUs(); }

  std::uint64_t daySeed(const std::string& day, std::uint64_t fresh) override {
    std::lock_guard lock(mutex_);
    Statement(db_, "INSERT OR IGNORE INTO days (day, seed) VALUES (?, ?)")
        .bind(1, day)
        .bind(2, static_cast<std::int64_t>(fresh))
        .step();
    return static_cast<std::uint64_t>(
        Statement(db_, "SELECT seed FROM days WHERE day = ?").bind(1, day).stepped().integer(0));
  }

  void addSitting(const SittingRow& s) override {
    std::lock_guard lock(mutex_);
    Statement(db_,
              "INSERT INTO sittings (id, seed, player, issued_us, day) VALUES (?, ?, ?, ?, "
              "NULLIF(?, ''))")
        .bind(1, s.id)
        .bind(2, static_cast<std::int64_t>(s.seed))
        .bind(3, s.player)
        .bind(4, nowUs())
        .bind(5, s.day)
        .step();
  }

  std::optional<SittingRow> sitting(const std::string& id) override {
    std::lock_guard lock(mutex_);
    Statement q(db_,
                "SELECT s.seed, s.player, s.issued_us, s.games_ranked, COALESCE(r.body, ''), "
                "COALESCE(r.received_us, s.issued_us), COALESCE(s.day, '') "
                "FROM sittings s LEFT JOIN recordings r ON r.id = s.recording WHERE s.id = ?");
    q.bind(1, id);
    if (!q.step()) return std::nullopt;
    return SittingRow{id,
                      static_cast<std::uint64_t>(q.integer(0)),
                      q.text(1),
                      q.integer(2),
                      static_cast<int>(q.integer(3)),
                      q.text(4),
                      q.integer(5),
                      nowUs(),
                      q.text(6)};
  }

  bool rank(const SittingRow& row, const KeptRecording& recording,
            const std::vector<NewGame>& games,
            const std::function<Scoreboard(const Scoreboard&)>& update) override {
    std::lock_guard lock(mutex_);
    const std::string& sitting = row.id;
    const int ranked = row.gamesRanked;
    const std::int64_t now = nowUs();
    // Another process on the same file waits for the write lock, so that no ranking is lost.
    exec("BEGIN IMMEDIATE;");
    try {
      Statement count(db_, "SELECT games_ranked FROM sittings WHERE id = ?");
      count.bind(1, sitting);
      if (!count.step() || count.integer(0) != ranked) {
        exec("ROLLBACK;");
        return false;
      }
      // The sitting's one recording, replaced; a row an older version's games read whole stays
      // theirs, and the sitting's recording is a new row then.
      Statement(db_,
                "UPDATE recordings SET body = ?, received_us = ? WHERE id = (SELECT recording "
                "FROM sittings WHERE id = ?) AND NOT EXISTS (SELECT 1 FROM games g WHERE "
                "g.recording = recordings.id AND g.events IS NULL)")
          .bind(1, recording.text)
          .bind(2, now)
          .bind(3, sitting)
          .step();
      std::int64_t recordingId = 0;
      if (sqlite3_changes(db_) == 1) {
        recordingId = Statement(db_, "SELECT recording FROM sittings WHERE id = ?")
                          .bind(1, sitting)
                          .stepped()
                          .integer(0);
      } else {
        Statement(db_, "INSERT INTO recordings (sitting, body, received_us) VALUES (?, ?, ?)")
            .bind(1, sitting)
            .bind(2, recording.text)
            .bind(3, now)
            .step();
        recordingId = sqlite3_last_insert_rowid(db_);
      }
      int number = ranked;
      for (const NewGame& g : games)
        Statement(db_,
                  "INSERT INTO games (id, sitting, number, recording, player, shown, score, "
                  "ranked_us, events, end_grid) SELECT ?, ?, ?, ?, player, ?, ?, ?, ?, ? FROM "
                  "sittings WHERE id = ?")
            .bind(1, g.id)
            .bind(2, sitting)
            .bind(3, number++)
            .bind(4, recordingId)
            .bind(5, g.shown)
            .bind(6, g.score)
            .bind(7, now)
            .bind(8, static_cast<std::int64_t>(recording.events))
            .bind(9, recording.endGrid)
            .bind(10, sitting)
            .step();
      Statement(db_, "UPDATE sittings SET games_ranked = ?, recording = ? WHERE id = ?")
          .bind(1, std::int64_t{number})
          .bind(2, recordingId)
          .bind(3, sitting)
          .step();
      writeScoreboard(row.day, update(readScoreboard(row.day)));
      Statement(db_,
                "UPDATE games SET ranked_order = CASE WHEN ?3 = '' THEN (SELECT rankings FROM "
                "scoreboard) ELSE (SELECT rankings FROM days WHERE day = ?3) END WHERE sitting "
                "= ?1 AND number >= ?2")
          .bind(1, sitting)
          .bind(2, std::int64_t{ranked})
          .bind(3, row.day)
          .step();
      exec("COMMIT;");
      return true;
    } catch (...) {
      sqlite3_exec(db_, "ROLLBACK;", nullptr, nullptr, nullptr);
      throw;
    }
  }

  Scoreboard scoreboard(const std::string& day) override {
    std::lock_guard lock(mutex_);
    return readScoreboard(day);
  }

  std::optional<GameRecording> gameRecording(const std::string& game) override {
    std::lock_guard lock(mutex_);
    Statement q(db_,
                "SELECT r.body, g.events, g.end_grid FROM games g JOIN recordings r ON r.id = "
                "g.recording WHERE g.id = ?");
    q.bind(1, game);
    if (!q.step()) return std::nullopt;
    GameRecording out{q.text(0), std::nullopt, q.integer(2)};
    if (!q.null(1)) out.events = static_cast<std::size_t>(q.integer(1));
    return out;
  }

  bool removeGame(const std::string& game, const std::string& why,
                  const Rebuild& rebuild) override {
    std::lock_guard lock(mutex_);
    bool found = false;
    inTransaction([&] {
      Statement(db_,
                "INSERT INTO removed (game, why, removed_us) SELECT id, ?, ? FROM games WHERE id = "
                "? AND id NOT IN (SELECT game FROM removed)")
          .bind(1, why)
          .bind(2, nowUs())
          .bind(3, game)
          .step();
      found = sqlite3_changes(db_) == 1;
      if (!found) return;
      Statement owner(db_,
                      "SELECT s.day FROM games g LEFT JOIN sittings s ON s.id = g.sitting WHERE "
                      "g.id = ?");
      const std::string day = owner.bind(1, game).stepped().text(0);
      Statement q(db_, RankedGames);
      if (!day.empty()) q.bind(1, day);
      std::vector<StoredGame> left;
      while (q.step()) left.push_back({q.text(0), q.text(1), q.text(2), q.integer(3)});
      writeScoreboard(day, rebuild(left));
    });
    return found;
  }

  void keepApart(const Refusal& r) override {
    std::lock_guard lock(mutex_);
    inTransaction([&] {
      Statement(db_,
                "INSERT INTO refused (sitting, reason, body, received_us, address) VALUES (?, ?, "
                "?, ?, ?)")
          .bind(1, r.sitting)
          .bind(2, r.reason)
          .bind(3, r.body)
          .bind(4, nowUs())
          .bind(5, r.address)
          .step();
      Statement(db_,
                "DELETE FROM refused WHERE address = ?1 AND id <= (SELECT id FROM refused WHERE "
                "address = ?1 ORDER BY id DESC LIMIT 1 OFFSET ?2)")
          .bind(1, r.address)
          .bind(2, std::int64_t{refusalsPerAddress})
          .step();
      Statement(db_,
                "DELETE FROM refused WHERE id <= (SELECT id FROM refused ORDER BY id DESC LIMIT 1 "
                "OFFSET ?)")
          .bind(1, std::int64_t{refusalsInAll})
          .step();
    });
  }

private:
  // Runs `work` in one write transaction, undone if it throws.
  void inTransaction(const std::function<void()>& work) {
    exec("BEGIN IMMEDIATE;");
    try {
      work();
      exec("COMMIT;");
    } catch (...) {
      sqlite3_exec(db_, "ROLLBACK;", nullptr, nullptr, nullptr);
      throw;
    }
  }
  void exec(const char* sql) {
    char* error = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &error) != SQLITE_OK) {
      const std::string why = error ? error : "unknown error";
      sqlite3_free(error);
      throw StoreError("database: " + why);
    }
  }
  // The all-time table or `day`'s, and one more ranking in its count.
  void writeScoreboard(const std::string& day, const Scoreboard& board) {
    Statement write(db_, day.empty() ? "UPDATE scoreboard SET body = ?, games = ?, rankings = "
                                       "rankings + 1 WHERE id = 1"
                                     : "UPDATE days SET body = ?, games = ?, rankings = rankings "
                                       "+ 1 WHERE day = ?");
    write.bind(1, board.text).bind(2, joinGames(board.games));
    if (!day.empty()) write.bind(3, day);
    write.step();
  }
  Scoreboard readScoreboard(const std::string& day) {
    if (!day.empty()) {
      Statement q(db_, "SELECT body, games FROM days WHERE day = ?");
      return q.bind(1, day).step() ? Scoreboard{q.text(0), splitGames(q.text(1))} : Scoreboard{};
    }
    Statement q(db_, "SELECT body, games FROM scoreboard WHERE id = 1");
    if (!q.step()) throw StoreError("database: the table is missing");
    return {q.text(0), splitGames(q.text(1))};
  }

  std::mutex mutex_;
  sqlite3* db_ = nullptr;
};

}  // namespace

std::unique_ptr<Store> openSqlite(const std::string& path) {
  return std::make_unique<SqliteStore>(path);
}

void backupSqlite(const std::string& path, const std::string& into) {
  if (postgresUrl(path)) throw StoreError("a PostgreSQL database is backed up with pg_dump");
  // Opened as a store first: an older database is brought up to this version before it is copied.
  openSqlite(path);
  sqlite3 *from = nullptr, *to = nullptr;
  const bool opened =
      sqlite3_open_v2(path.c_str(), &from, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
      sqlite3_open(into.c_str(), &to) == SQLITE_OK;
  sqlite3_backup* copy = opened ? sqlite3_backup_init(to, "main", from, "main") : nullptr;
  int rc = SQLITE_ERROR;
  if (copy) {
    // A step at a time, so that the servers' writes wait no longer than a step.
    while ((rc = sqlite3_backup_step(copy, 256)) == SQLITE_OK || rc == SQLITE_BUSY ||
           rc == SQLITE_LOCKED)
      sqlite3_sleep(rc == SQLITE_OK ? 0 : 10);
    sqlite3_backup_finish(copy);
  }
  const std::string why = to ? sqlite3_errmsg(to) : "out of memory";
  sqlite3_close(from);
  sqlite3_close(to);
  if (rc != SQLITE_DONE) throw StoreError("cannot back up " + path + " into " + into + ": " + why);
}

}  // namespace server
