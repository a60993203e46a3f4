// SPDX-License-Identifier: MIT
// What makes a recording rankable: the game's one ruleset, the seed and the player the server
// issued, no more game time than real time, a sitting that began soon after its seed and has not
// fallen silent, the sitting's earlier recording continued, and the games its replay finishes.
// Policy.cpp reads as the list of these rules; Verify.h runs them in processes of their own. (The
// service has refused a recording that is not UTF-8 text before: what is kept is text.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "replay/Recording.h"

namespace server {

// How long a sitting lives, in real time.
struct SittingLife {
  // Its first game must begin within this of the seed's issue (a seed studied offline first).
  std::int64_t startUs = 10 * 60'000'000LL;
  // Silent this long (nothing ranked since its seed or its last game), it takes no more games.
  std::int64_t silenceUs = 60 * 60'000'000LL;
};
inline constexpr SittingLife sittingLife{};

// What the server issued for the sitting, what it already holds of it, and the real time since,
// by the database's clock.
struct Expected {
  std::uint64_t seed = 0;
  std::string player;
  std::int64_t sinceIssuedUs = 0;  // since the seed was issued
  std::int64_t sinceLastUs = 0;    // since the sitting's last ranked game (or its seed)
  std::int64_t slackUs = 0;        // how late a client's clock may start, and a network's delay
  std::string earlier;             // the recording last accepted for the sitting, or empty
};

struct Verdict {
  int status = 200;                // an HTTP status: 200, or the 4xx that refuses
  std::string error;               // why, when refused
  std::vector<std::string> games;  // each finished game's score as the list ranked it, in order
  std::size_t events = 0;          // the recording's events and its last grid point, when ranked
  std::int64_t endGrid = 0;
};

// A refusal with its status and reason.
Verdict refusal(int status, std::string why);

// Called once the recording passed every check that needs no replay, with its game time, before
// its replay runs (a verifying process grants the replay its processor time there).
using BeforeReplay = std::function<void(std::int64_t gameUs)>;

// Reads, checks and replays `text`.
Verdict verify(std::string_view text, const Expected& expected, const BeforeReplay& before = {});
// The same for a recording already read (or refused, with its reason).
Verdict verify(replay::ReadResult read, const Expected& expected, const BeforeReplay& before = {});

}  // namespace server
