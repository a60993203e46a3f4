// SPDX-License-Identifier: MIT
// The score service, without HTTP: new sittings, submitted sittings verified and ranked, the
// table and the recordings of its games. Every answer is a status and a JSON body (the table's
// file form and a recording are text).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "server/Store.h"
#include "server/Verify.h"

namespace server {

struct Answer {
  int status = 200;
  std::string body;
  std::string type = "application/json";
  std::string refusal = {};  // why, when refused
};

struct ServiceSettings {
  // How much longer than the real time since its seed was issued a sitting may have played: the
  // client's clock starts a little after the server issued the seed, and networks are slow.
  std::int64_t slackUs = 5'000'000;
  // Half an hour of a busy player's sitting; a two-minute game is some 30 kB.
  std::size_t largeBytes = 2u << 20;
  // Half an hour of game time, whose replay costs as much as 15 two-minute games.
  std::int64_t largeGameUs = 1800'000'000;
};

// The game time a recording claims, read cheaply from its tick and its last line ('end GRID'),
// to choose its line before a verifying process reads it strictly; 0 when it claims none.
std::int64_t claimedGameUs(std::string_view recording);

// The table the rules make of `games`, ranked one after the other on an empty one.
Scoreboard rankedAgain(const std::vector<StoredGame>& games);

class Service {
public:
  // Recordings up to `largeBytes` and `largeGameUs` go to `verifiers`; larger or longer ones (a
  // long sitting, or a hostile one) to `large`, whose processes take only the processors the
  // others leave: such a recording waits for its own kind, never the others for it.
  Service(Store& store, Verifiers& verifiers, Verifiers& large, ServiceSettings settings)
      : store_(store), verifiers_(verifiers), large_(large), settings_(settings) {}

  // POST /api/sittings {"player": "NAME"} from `address`, or {"player": "NAME", "cave": "today"}
  // for the day's cave (the UTC day by the database's clock), whose seed is every player's that
  // day and whose first game ranks on the day's own table.
  Answer newSitting(std::string_view body, const std::string& address);
  // POST /api/sittings/ID/games?score=S from `address`, the recording so far as the body. Every
  // refusal is kept with its reason (Store.h says within which bounds).
  Answer submit(const std::string& sitting, const std::string& shown, std::string_view body,
                const std::string& address);
  // GET /api/table, or its file form; the day's with `cave` "today" or "YYYY-MM-DD".
  Answer table(const std::string& cave, bool fileForm);
  // GET /api/games/ID
  Answer game(const std::string& id);

  // Recordings larger than this go to the large ones' line.
  std::size_t largeBytes() const { return settings_.largeBytes; }

private:
  Answer issue(std::string_view body);
  Answer judge(const std::string& sitting, const std::string& shown, std::string_view body);

  Store& store_;
  Verifiers& verifiers_;
  Verifiers& large_;
  ServiceSettings settings_;
};

}  // namespace server
