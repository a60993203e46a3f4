// SPDX-License-Identifier: MIT
// PostgreSQL, shared by any number of server processes: each ranking runs in one transaction that
// holds the sitting's row lock and then the table's (SELECT ... FOR UPDATE) from reading the table
// to writing it back, so that two processes ranking at once never lose one another's game.
#include <libpq-fe.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <vector>

#include "server/Store.h"

namespace server {

namespace {

// The tables as the first version made them (a new database starts there and is brought up), and
// the schema's version.
constexpr const char* Version1 = R"(
SET client_min_messages TO warning;
SELECT pg_advisory_xact_lock(20261209);
CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS sittings (id TEXT PRIMARY KEY, seed BIGINT NOT NULL,
  player TEXT NOT NULL, issued_us BIGINT NOT NULL, games_ranked INTEGER NOT NULL DEFAULT 0,
  recording BIGINT);
CREATE TABLE IF NOT EXISTS recordings (id BIGSERIAL PRIMARY KEY, sitting TEXT NOT NULL,
  body TEXT NOT NULL, received_us BIGINT NOT NULL);
CREATE TABLE IF NOT EXISTS games (id TEXT PRIMARY KEY, sitting TEXT NOT NULL,
  number INTEGER NOT NULL, recording BIGINT NOT NULL, player TEXT NOT NULL, shown TEXT NOT NULL,
  score BIGINT NOT NULL, ranked_us BIGINT NOT NULL, UNIQUE (sitting, number));
CREATE TABLE IF NOT EXISTS scoreboard (id INTEGER PRIMARY KEY CHECK (id = 1), body TEXT NOT NULL,
  games TEXT NOT NULL);
INSERT INTO scoreboard (id, body, games) VALUES (1, '', '') ON CONFLICT DO NOTHING;
CREATE TABLE IF NOT EXISTS refused (id BIGSERIAL PRIMARY KEY, sitting TEXT NOT NULL,
  reason TEXT NOT NULL, body TEXT NOT NULL, received_us BIGINT NOT NULL);
-- A recording is compressed as it is stored: lz4 costs a fraction of the default's time.
ALTER TABLE recordings ALTER COLUMN body SET COMPRESSION lz4;
ALTER TABLE refused ALTER COLUMN body SET COMPRESSION lz4;
)";

// Version 2: a sitting keeps one recording, each game how much of it was its submission's (an
// older game keeps the recording row it had) and its place in the order of rankings (an older
// one's is its time); refusals keep their address; removed games.
constexpr const char* ToVersion2 = R"(
ALTER TABLE games ADD COLUMN IF NOT EXISTS events BIGINT;
ALTER TABLE games ADD COLUMN IF NOT EXISTS end_grid BIGINT;
ALTER TABLE games ADD COLUMN IF NOT EXISTS ranked_order BIGINT;
ALTER TABLE scoreboard ADD COLUMN IF NOT EXISTS rankings BIGINT NOT NULL DEFAULT 0;
ALTER TABLE refused ADD COLUMN IF NOT EXISTS address TEXT NOT NULL DEFAULT '';
CREATE INDEX IF NOT EXISTS refused_by_address ON refused (address, id);
CREATE TABLE IF NOT EXISTS removed (game TEXT PRIMARY KEY, why TEXT NOT NULL,
  removed_us BIGINT NOT NULL);
DELETE FROM schema_version;
INSERT INTO schema_version VALUES (2);
)";

// Version 3: each day's cave, its seed and its own table; a sitting's day, when it flies one.
constexpr const char* ToVersion3 = R"(
CREATE TABLE IF NOT EXISTS days (day TEXT PRIMARY KEY, seed BIGINT NOT NULL,
  body TEXT NOT NULL DEFAULT '', games TEXT NOT NULL DEFAULT '',
  rankings BIGINT NOT NULL DEFAULT 0);
ALTER TABLE sittings ADD COLUMN IF NOT EXISTS day TEXT;
DELETE FROM schema_version;
INSERT INTO schema_version VALUES (3);
)";

// The database's clock, in microseconds since 1970: every server on the database reads the same.
#define DATABASE_NOW_US "(extract(epoch FROM clock_timestamp()) * 1000000)::bigint"

// `text` as one item of an array's literal, quoted.
std::string arrayItem(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

class Result {
public:
  explicit Result(PGresult* r) : r_(r) {}
  ~Result() { PQclear(r_); }
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
  int rows() const { return PQntuples(r_); }
  std::string text(int row, int column) const {
    return std::string(PQgetvalue(r_, row, column),
                       static_cast<std::size_t>(PQgetlength(r_, row, column)));
  }
  bool null(int row, int column) const { return PQgetisnull(r_, row, column); }
  std::int64_t integer(int row, int column) const {
    return std::stoll(std::string(PQgetvalue(r_, row, column)));
  }

private:
  PGresult* r_;
};

class Connection {
public:
  explicit Connection(const std::string& url) : c_(PQconnectdb(url.c_str())) {
    if (PQstatus(c_) != CONNECTION_OK) {
      const std::string why = PQerrorMessage(c_);
      PQfinish(c_);
      throw StoreError("cannot open the database: " + why);
    }
    // Its prepared statements each find rows by their keys, which one plan serves for any key:
    // planned once, not again for each of the first few runs.
    PQclear(PQexec(c_, "SET plan_cache_mode = force_generic_plan"));
  }
  ~Connection() { PQfinish(c_); }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  bool ok() const { return PQstatus(c_) == CONNECTION_OK; }
  void rollback() { PQclear(PQexec(c_, "ROLLBACK")); }
  // `text` as a literal in the connection's encoding, quoted.
  std::string literal(const std::string& text) {
    char* quoted = PQescapeLiteral(c_, text.data(), text.size());
    if (!quoted) throw StoreError(std::string("database: ") + PQerrorMessage(c_));
    std::string out(quoted);
    PQfreemem(quoted);
    return out;
  }

  std::unique_ptr<Result> run(const char* sql, const std::vector<std::string>& params = {}) {
    std::vector<const char*> values;
    std::vector<int> lengths;
    for (const auto& p : params) {
      values.push_back(p.c_str());
      lengths.push_back(static_cast<int>(p.size()));
    }
    PGresult* r = params.empty() ? PQexec(c_, sql)
                                 : PQexecPrepared(c_, prepared(sql, params.size()).c_str(),
                                                  static_cast<int>(params.size()), values.data(),
                                                  lengths.data(), nullptr, 0);
    return checked(r);
  }

  // BEGIN and then `sql` with its parameters, sent together and answered together: a
  // transaction's first statement costs one round trip, not two.
  std::unique_ptr<Result> beginWith(const char* sql, const std::vector<std::string>& params) {
    std::vector<const char*> values;
    std::vector<int> lengths;
    for (const auto& p : params) {
      values.push_back(p.c_str());
      lengths.push_back(static_cast<int>(p.size()));
    }
    const std::string& name = prepared(sql, params.size());
    if (!PQenterPipelineMode(c_)) throw StoreError("database: " + std::string(PQerrorMessage(c_)));
    const bool sent = PQsendQueryParams(c_, "BEGIN", 0, nullptr, nullptr, nullptr, nullptr, 0) &&
                      PQsendQueryPrepared(c_, name.c_str(), static_cast<int>(params.size()),
                                          values.data(), lengths.data(), nullptr, 0) &&
                      PQpipelineSync(c_);
    std::unique_ptr<Result> last;
    std::string why = sent ? "" : PQerrorMessage(c_);
    // Every answer is read up to the pipeline's end, so that the connection is clean again.
    for (int ends = 0; ends < (sent ? 1 : 0);) {
      PGresult* r = PQgetResult(c_);
      if (!r) {
        if (PQstatus(c_) != CONNECTION_OK) break;
        continue;
      }
      const auto status = PQresultStatus(r);
      if (status == PGRES_PIPELINE_SYNC) {
        PQclear(r);
        ++ends;
      } else if (status == PGRES_TUPLES_OK) {
        last = std::make_unique<Result>(r);
      } else if (status == PGRES_COMMAND_OK) {
        PQclear(r);
      } else {
        if (why.empty())
          why = status == PGRES_PIPELINE_ABORTED ? "the transaction did not start"
                                                 : PQresultErrorMessage(r);
        PQclear(r);
      }
    }
    PQexitPipelineMode(c_);
    if (!why.empty() || !last) throw StoreError("database: " + (why.empty() ? "no answer" : why));
    return last;
  }

private:
  static std::unique_ptr<Result> checked(PGresult* r) {
    const auto status = PQresultStatus(r);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) {
      const std::string why = PQresultErrorMessage(r);
      PQclear(r);
      throw StoreError("database: " + why);
    }
    return std::make_unique<Result>(r);
  }

  // A statement with parameters is parsed and planned once per connection, and then only run.
  const std::string& prepared(const char* sql, std::size_t params) {
    auto it = prepared_.find(sql);
    if (it != prepared_.end()) return it->second;
    std::string name = "s" + std::to_string(prepared_.size());
    checked(PQprepare(c_, name.c_str(), sql, static_cast<int>(params), nullptr));
    return prepared_.emplace(sql, std::move(name)).first->second;
  }

  PGconn* c_;
  std::map<std::string, std::string> prepared_;  // a statement's text, and its name here
};

// The table that holds the all-time table's row or `day`'s, and that row's key.
std::string tableOf(const std::string& day) { return day.empty() ? "scoreboard" : "days"; }
std::string rowOf(Connection& c, const std::string& day) {
  return day.empty() ? "id = 1" : "day = " + c.literal(day);
}

// The statement that writes the all-time table or `day`'s, and counts one more ranking.
std::string scoreboardWrite(Connection& c, const std::string& day, const Scoreboard& board) {
  return "UPDATE " + tableOf(day) + " SET body = " + c.literal(board.text) +
         ", games = " + c.literal(joinGames(board.games)) + ", rankings = rankings + 1 WHERE " +
         rowOf(c, day);
}

// A ranking in one statement but the table's write: the sitting first (still at `ranked` games,
// locked), its recording, its games and its count, and its table last, locked only once the rest
// is written (the one row every ranking of that table waits for is held from its read to its
// write with the commit); `rank` names the table's row. No row when the sitting moved on.
constexpr const char* RankSittingGames =
    "WITH s AS (SELECT id, player, recording FROM sittings WHERE id = $1 AND games_ranked = "
    "$2::integer FOR UPDATE), "
    // The sitting's one recording, replaced; a row an older version's games read whole
    // stays theirs, and the sitting's recording is a new row then.
    "kept AS (UPDATE recordings SET body = $3, received_us = " DATABASE_NOW_US
    " FROM s "
    "WHERE recordings.id = s.recording AND NOT EXISTS (SELECT 1 FROM games o WHERE "
    "o.recording = recordings.id AND o.events IS NULL) RETURNING recordings.id, "
    "recordings.received_us), "
    "added AS (INSERT INTO recordings (sitting, body, received_us) SELECT id, "
    "$3, " DATABASE_NOW_US
    " FROM s WHERE NOT EXISTS (SELECT 1 FROM kept) "
    "RETURNING id, received_us), "
    "rec AS (SELECT * FROM kept UNION ALL SELECT * FROM added), "
    "g AS (INSERT INTO games (id, sitting, number, recording, player, shown, score, "
    "ranked_us, events, end_grid) SELECT n.game, s.id, $2 + n.i - 1, rec.id, s.player, "
    "n.shown, n.score, rec.received_us, $7::bigint, $8::bigint "
    "FROM s, rec, unnest($4::text[], $5::text[], $6::bigint[]) WITH ORDINALITY "
    "AS n(game, shown, score, i) RETURNING 1), "
    "u AS (UPDATE sittings SET games_ranked = $2 + (SELECT count(*) FROM g), "
    "recording = rec.id FROM rec WHERE sittings.id = $1 RETURNING 1) "
    "SELECT body, games FROM ";

class PostgresStore : public Store {
public:
  explicit PostgresStore(std::string url) : url_(std::move(url)) {
    auto c = std::make_unique<Connection>(url_);
    c->run("BEGIN");
    c->run(Version1);
    const auto version = c->run("SELECT COALESCE(max(version), 1) FROM schema_version");
    if (version->integer(0, 0) > schemaVersion)
      throw StoreError("the database is of a newer server (schema " +
                       std::to_string(version->integer(0, 0)) + ")");
    c->run(ToVersion2);
    c->run(ToVersion3);
    c->run("COMMIT");
    idle_.push_back(std::move(c));
    // All the connections are opened now: each costs the database a process and its caches,
    // paid before players wait rather than while they do.
    for (; open_ < MaxConnections; ++open_) idle_.push_back(std::make_unique<Connection>(url_));
  }

  std::int64_t clockUs() override {
    Lease c(*this);
    return c->run("SELECT " DATABASE_NOW_US)->integer(0, 0);
  }

  std::uint64_t daySeed(const std::string& day, std::uint64_t fresh) override {
    Lease c(*this);
    // Two statements: the second sees the row of another server that kept the day's seed first.
    c->run("INSERT INTO days (day, seed) VALUES ($1, $2::bigint) ON CONFLICT DO NOTHING",
           {day, std::to_string(fresh)});
    return static_cast<std::uint64_t>(
        c->run("SELECT seed FROM days WHERE day = $1", {day})->integer(0, 0));
  }

  void addSitting(const SittingRow& s) override {
    Lease c(*this);
    c->run(
        "INSERT INTO sittings (id, seed, player, issued_us, day) VALUES ($1, $2, "
        "$3, " DATABASE_NOW_US ", NULLIF($4, ''))",
        {s.id, std::to_string(s.seed), s.player, s.day});
  }

  std::optional<SittingRow> sitting(const std::string& id) override {
    Lease c(*this);
    const auto r = c->run(
        "SELECT s.seed, s.player, s.issued_us, s.games_ranked, COALESCE(r.body, ''), "
        "COALESCE(r.received_us, s.issued_us), " DATABASE_NOW_US
        ", COALESCE(s.day, '') "
        "FROM sittings s LEFT JOIN recordings r ON r.id = s.recording WHERE s.id = $1",
        {id});
    if (r->rows() == 0) return std::nullopt;
    return SittingRow{id,
                      static_cast<std::uint64_t>(r->integer(0, 0)),
                      r->text(0, 1),
                      r->integer(0, 2),
                      static_cast<int>(r->integer(0, 3)),
                      r->text(0, 4),
                      r->integer(0, 5),
                      r->integer(0, 6),
                      r->text(0, 7)};
  }

  bool rank(const SittingRow& row, const KeptRecording& recording,
            const std::vector<NewGame>& games,
            const std::function<Scoreboard(const Scoreboard&)>& update) override {
    Lease c(*this);
    const std::string& sitting = row.id;
    const int ranked = row.gamesRanked;
    try {
      std::string ids = "{", shown = "{", scores = "{";
      for (const NewGame& g : games) {
        const char* comma = &g == &games.front() ? "" : ",";
        ids += comma + arrayItem(g.id);
        shown += comma + arrayItem(g.shown);
        scores += comma + std::to_string(g.score);
      }
      std::vector<std::string> params = {sitting,
                                         std::to_string(ranked),
                                         recording.text,
                                         ids + "}",
                                         shown + "}",
                                         scores + "}",
                                         std::to_string(recording.events),
                                         std::to_string(recording.endGrid)};
      if (!row.day.empty()) params.push_back(row.day);
      const auto board =
          c->beginWith((std::string(RankSittingGames) +
                        (row.day.empty() ? "scoreboard WHERE id = 1" : "days WHERE day = $9") +
                        " AND EXISTS (SELECT 1 FROM u) FOR UPDATE")
                           .c_str(),
                       params);
      if (board->rows() != 1) {
        c->rollback();
        return false;
      }
      const Scoreboard after = update({board->text(0, 0), splitGames(board->text(0, 1))});
      // The table's write and the commit in one round trip: the row is held no longer.
      c->run((scoreboardWrite(*c, row.day, after) + "; UPDATE games SET ranked_order = (SELECT " +
              "rankings FROM " + tableOf(row.day) + " WHERE " + rowOf(*c, row.day) +
              ") WHERE sitting = " + c->literal(sitting) +
              " AND number >= " + std::to_string(ranked) + "; COMMIT")
                 .c_str());
      return true;
    } catch (...) {
      if (c->ok()) c->rollback();
      throw;
    }
  }

  Scoreboard scoreboard(const std::string& day) override {
    Lease c(*this);
    const auto r =
        c->run(("SELECT body, games FROM " + tableOf(day) + " WHERE " + rowOf(*c, day)).c_str());
    if (r->rows() != 1 && day.empty()) throw StoreError("database: the table is missing");
    return r->rows() == 1 ? Scoreboard{r->text(0, 0), splitGames(r->text(0, 1))} : Scoreboard{};
  }

  std::optional<GameRecording> gameRecording(const std::string& game) override {
    Lease c(*this);
    const auto r = c->run(
        "SELECT r.body, g.events, g.end_grid FROM games g JOIN recordings r ON r.id = g.recording "
        "WHERE g.id = $1",
        {game});
    if (r->rows() == 0) return std::nullopt;
    GameRecording out{r->text(0, 0), std::nullopt, r->null(0, 2) ? 0 : r->integer(0, 2)};
    if (!r->null(0, 1)) out.events = static_cast<std::size_t>(r->integer(0, 1));
    return out;
  }

  bool removeGame(const std::string& game, const std::string& why,
                  const Rebuild& rebuild) override {
    Lease c(*this);
    try {
      c->run("BEGIN");
      const auto owner = c->run(
          "SELECT COALESCE(s.day, '') FROM games g LEFT JOIN sittings s ON s.id = g.sitting "
          "WHERE g.id = $1",
          {game});
      const std::string day = owner->rows() == 1 ? owner->text(0, 0) : std::string();
      // The table's row first: no ranking runs between the removal and the rebuilt table.
      c->run(
          ("SELECT 1 FROM " + tableOf(day) + " WHERE " + rowOf(*c, day) + " FOR UPDATE").c_str());
      const auto removed =
          c->run("INSERT INTO removed (game, why, removed_us) SELECT id, $2::text, " DATABASE_NOW_US
                 " FROM games WHERE id = $1 AND id NOT IN (SELECT game FROM removed) RETURNING 1",
                 {game, why});
      if (removed->rows() != 1) {
        c->rollback();
        return false;
      }
      // The games on the record of that table, in the order they were ranked: a day's table
      // holds each of its sittings' first game only.
      const auto r = c->run(
          "SELECT g.id, g.player, g.shown, g.score FROM games g LEFT JOIN sittings s ON s.id = "
          "g.sitting WHERE g.id NOT IN (SELECT game FROM removed) AND COALESCE(s.day, '') = $1 "
          "AND ($1 = '' OR g.number = 0) ORDER BY g.ranked_order IS NOT NULL, g.ranked_order, "
          "g.ranked_us, g.sitting, g.number",
          {day});
      std::vector<StoredGame> left;
      for (int i = 0; i < r->rows(); ++i)
        left.push_back({r->text(i, 0), r->text(i, 1), r->text(i, 2), r->integer(i, 3)});
      c->run((scoreboardWrite(*c, day, rebuild(left)) + "; COMMIT").c_str());
      return true;
    } catch (...) {
      if (c->ok()) c->rollback();
      throw;
    }
  }

  void keepApart(const Refusal& refusal) override {
    Lease c(*this);
    c->run(
        "INSERT INTO refused (sitting, reason, body, received_us, address) VALUES ($1, $2, "
        "$3, " DATABASE_NOW_US ", $4)",
        {refusal.sitting, refusal.reason, refusal.body, refusal.address});
    c->run(
        "DELETE FROM refused WHERE address = $1 AND id <= (SELECT id FROM refused WHERE "
        "address = $1 ORDER BY id DESC LIMIT 1 OFFSET $2::bigint)",
        {refusal.address, std::to_string(refusalsPerAddress)});
    c->run(
        "DELETE FROM refused WHERE id <= (SELECT id FROM refused ORDER BY id DESC LIMIT 1 "
        "OFFSET $1::bigint)",
        {std::to_string(refusalsInAll)});
  }

private:
  // A connection of the pool, for one step; a broken one is dropped and a new one opened later.
  class Lease {
  public:
    explicit Lease(PostgresStore& store) : store_(store), c_(store.take()) {}
    ~Lease() { store_.give(std::move(c_)); }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    Connection* operator->() { return c_.get(); }
    Connection& operator*() { return *c_; }

  private:
    PostgresStore& store_;
    std::unique_ptr<Connection> c_;
  };

  std::unique_ptr<Connection> take() {
    {
      std::unique_lock lock(mutex_);
      free_.wait(lock, [this] { return !idle_.empty() || open_ < MaxConnections; });
      if (!idle_.empty()) {
        auto c = std::move(idle_.back());
        idle_.pop_back();
        return c;
      }
      ++open_;
    }
    try {
      return std::make_unique<Connection>(url_);
    } catch (...) {
      std::lock_guard lock(mutex_);
      --open_;
      free_.notify_one();
      throw;
    }
  }
  void give(std::unique_ptr<Connection> c) {
    std::lock_guard lock(mutex_);
    if (c && c->ok())
      idle_.push_back(std::move(c));
    else if (c)
      --open_;
    free_.notify_one();
  }

  static constexpr std::size_t MaxConnections = 8;
  std::string url_;
  std::mutex mutex_;
  std::condition_variable free_;
  std::vector<std::unique_ptr<Connection>> idle_;
  std::size_t open_ = 1;
};

}  // namespace

std::unique_ptr<Store> openPostgres(const std::string& url) {
  return std::make_unique<PostgresStore>(url);
}

}  // namespace server
