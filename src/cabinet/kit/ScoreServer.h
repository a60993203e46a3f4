// SPDX-License-Identifier: MIT
// The score server's client, the rules every front end follows with one (`--scores URL` on the
// desktop, the page served by cavewing-server): a sitting asks the server for its seed with the
// player's name and plays from it exactly as from a seed of its own; each game a crash brings to
// the list goes to the server as the sitting's recording so far with the score shown; what the
// server has not confirmed is kept in the player's data folder (`unsent-games`) and sent again,
// across restarts and reloads, until it has; when the list comes up, it shows the server's table
// if the server answers within a short while, else it stays the player's own. A front end gives
// only the transport: its toolkit's asynchronous requests.
//
// Today's cave, the same for every player on the day (UTC): the client asks for the day's seed,
// and every game flies the cave from its start as a sitting of its own (the server ranks a today
// sitting's first game only); the list shows the day's table; the day's best, its player, score
// and recording, is fetched for the start screen and the ghost. Offline a game still flies, from
// the last day's seed the server gave (the day's cave is what the player came for, and the local
// table ranks it like any) or, when none came, from the sitting's own seed, and ranks locally.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cabinet/Cabinet.h"
#include "cabinet/kit/ScoreServerKept.h"
#include "form/Host.h"

namespace cabinet::kit {

// The server's answer to one request: its HTTP status and body; status 0 when none came (no
// server, no network, or no answer in the request's time).
struct Answer {
  int status = 0;
  std::string body;
};

// How a front end reaches the server: asynchronously, the answer coming later on the front end's
// own thread, never from within send().
class Transport {
public:
  virtual ~Transport() = default;
  // POSTs `body` (GETs when `post` is false) to `path`, which is relative to the server's address
  // ("api/..."); `answered` runs once, with the answer, or with status 0 after `timeoutMs`.
  virtual void send(const std::string& path, bool post, const std::string& body, int timeoutMs,
                    std::function<void(const Answer&)> answered) = 0;
  // The time the answers' waits are measured in.
  virtual std::chrono::steady_clock::time_point now() const {
    return std::chrono::steady_clock::now();
  }
};

// A row of the server's table.
struct TableRow {
  std::string name, score, game;  // game: the ranked game's ID, empty when the server has none
  bool operator==(const TableRow&) const = default;
};
// The rows of `GET /api/table`'s answer (or a submission's "table"), nothing when it is not one.
std::optional<std::vector<TableRow>> tableRows(std::string_view json);
// The rows in the high-score file's form, as the list reads a table.
std::string tableText(const std::vector<TableRow>& rows);

// The best game of today's cave, as the day's table has it: nobody's while the table is empty.
struct DaysBest {
  std::string name, score;
  std::string recording;  // the game's recording; empty when the server gave none
  // As the start screen of today's cave says it.
  std::string note() const;
};

class ScoreServer : private Cabinet::Observer {
public:
  static constexpr int SittingWaitMs = 3000;  // a new sitting waits this long for its seed
  static constexpr int ListWaitMs = 3000;     // the list shows the server's table if this soon
  static constexpr int SendWaitMs = 60000;    // a game sent waits this long for its verdict
  static constexpr const char* UnsentFile = "unsent-games";
  static constexpr const char* RefusedFile = "refused-games";
  static constexpr std::size_t RefusedGames = 8;  // the refused games kept: the latest

  // Whether a sitting asks a server for its seed: only where one is there to ask (`--scores URL`
  // on the desktop, the page a score server served), and only for the player's own play in a cave
  // nobody chose: a replay, the demo and a sitting with a seed of its own are nobody's sitting.
  static bool asks(bool serverThere, const Sitting& sitting, bool replaying) {
    return serverThere && !replaying && !sitting.demo && !sitting.seed;
  }

  explicit ScoreServer(Transport& transport) : transport_(transport) {}
  ScoreServer(const ScoreServer&) = delete;
  ScoreServer& operator=(const ScoreServer&) = delete;
  ~ScoreServer() override { detach(); }

  // Today's cave from the next sitting asked for on (see above); the classic sitting otherwise.
  void flyTodaysCave(bool today) { today_ = today; }
  bool todaysCave() const { return today_; }

  // Asks for a sitting for `player`; `seeded` gets the server's seed, or nothing when no server
  // gave one (the sitting then plays from a seed of its own, and ranks only in its own table).
  // In today's cave the seed is the day's.
  void openSitting(const std::string& player,
                   std::function<void(std::optional<std::uint64_t>)> seeded);
  bool hasSitting() const { return !sitting_.empty(); }

  // Serves the player's sitting in `cabinet` (whose recording's seed is the server's when it has
  // a sitting): games go to the server, the list shows its table. Takes up what earlier
  // sittings left unsent in `host`'s data folder, and sends it if the server answered.
  // `changed` repaints the list. Both must outlive this client, or be detached first. In today's
  // cave every game of the cabinet's flies afresh, and the day's best is fetched.
  void attach(Cabinet& cabinet, form::Host& host, std::function<void()> changed);
  void detach();

  // Sends what the server has not confirmed yet (after a sitting's seed came from it), one game
  // after another in the order they were played, the file's games of other copies too.
  void sendUnsent();
  std::size_t unsentCount() const { return unsent_.size(); }

  // The recording of the best game of the server's table (the day's in today's cave), or why
  // there is none.
  using GameFetched = std::function<void(std::optional<std::string> recording, std::string why)>;
  void bestGame(GameFetched then);

  // In today's cave: `fetched` runs with the day's best each time a new one has been fetched (as
  // the sitting is attached, and as each game begins afresh), and at once with the one known.
  // The start screen shows its note; the ghost flies its recording.
  void onDaysBest(std::function<void(const DaysBest&)> fetched);
  const std::optional<DaysBest>& daysBest() const { return daysBest_; }

  // The server's ID of the player's latest game, for a link to it: empty from the moment a game is
  // listed until the server's answer for that very game names it.
  const std::string& sharedGame() const { return sharedGame_; }
  // The recording of the game `id` the server keeps, or why there is none (`id` may come from a
  // link: only a well-formed one is asked for).
  void game(const std::string& id, GameFetched then);

private:
  struct Unsent {
    KeptGame game;
    bool kept = false;  // in the file: gone from it later, another copy has sent it
  };
  // Cabinet::Observer
  void gameListed(const replay::Recording& recording, std::int64_t shown) override;
  void listShown() override;
  // A game flown afresh in today's cave asks for a sitting of its own.
  void sittingBegan(std::uint64_t seed) override;
  struct Issued {
    std::string sitting;
    std::uint64_t seed = 0;
  };
  // Asks the server for a sitting for the player: `issued` gets it, or nothing, said why.
  void askSitting(std::function<void(std::optional<Issued>)> issued);
  std::string tablePath() const { return today_ ? "api/table?cave=today" : "api/table"; }
  // The table's rows, none when the server could not be reached.
  void fetchTable(std::function<void(std::optional<std::vector<TableRow>>)> then);
  void fetchDaysBest();
  void send(const KeptGame& game);
  void answered(const KeptGame& game, const Answer& answer);
  // Shows the server's rows if the list that asked for them is still up, soon enough.
  void showRows(const std::vector<TableRow>& rows, int listAsked);
  // Keeps the games on the file as it is now, with the game just `played` (or none) put last and
  // the one the server `answered` (or none) gone; `what`: the games it keeps, for the player to
  // be told when they could not be kept.
  void keepUnsent(const KeptGame* played, const KeptGame* answered, const std::string& what);
  void keepRefused(KeptGame game);
  // The ID the server's `answer` gives `game`, kept for sharing when it is the latest listed.
  void share(const KeptGame& game, const Answer& answer);

  Transport& transport_;
  bool today_ = false;
  std::string player_;
  std::optional<std::uint64_t> daySeed_;  // the last the server gave
  int sittingsAsked_ = 0;                 // an answer binds only to the game that asked for it
  std::optional<DaysBest> daysBest_;
  TableRow daysBestRow_;  // the same game is not fetched again
  std::function<void(const DaysBest&)> daysBestFetched_;
  std::string sitting_;
  Cabinet* cabinet_ = nullptr;
  form::Host* host_ = nullptr;
  std::function<void()> changed_;
  GamesFile unsentFile_, refusedFile_;
  std::vector<Unsent> unsent_;  // in the order played
  bool sending_ = false;        // a game is on its way: the next goes once it is answered
  int listShown_ = 0;           // the lists shown so far: an answer shows on its own
  std::chrono::steady_clock::time_point listSince_;
  bool gameJustListed_ = false;
  KeptGame latestListed_;
  std::string sharedGame_;
  // Answers that come after the client has gone find nothing to do.
  std::shared_ptr<char> alive_ = std::make_shared<char>();
};

}  // namespace cabinet::kit
