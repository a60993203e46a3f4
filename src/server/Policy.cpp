// SPDX-License-Identifier: MIT
// What makes a recording rankable: the rules it was played by, its sitting and its time.
#include "server/Policy.h"

#include "app/Phase.h"
#include "app/frmCavewing.h"
#include "cabinet/Headless.h"
#include "server/Ranking.h"

namespace server {

namespace {

std::int64_t gameUs(const replay::Recording& r) { return r.endGrid * r.systemTickUs; }

std::string minutes(std::int64_t us) { return std::to_string(us / 60'000'000); }

// The game's one ruleset: its grid, and its two layouts (the normal window and the wide one).
// Its one generator is the only one the reader takes. Replays play any valid recording; the
// table ranks only games of the game as it is played, since a coarser grid slows the cave and a
// wider field takes the obstacles away.
std::string offTheRules(const replay::Recording& r) {
  if (r.systemTickUs != form::Clock::defaultSystemTickUs)
    return "the table ranks only games on the game's grid (system-tick-us " +
           std::to_string(form::Clock::defaultSystemTickUs) + ")";
  if (r.outerWidth != frmCavewing::NormalOuterWidth && r.outerWidth != frmCavewing::WideOuterWidth)
    return "the table ranks only the game's two layouts (outer-width 15360 or 19290)";
  return {};
}

// The new recording plays the earlier one's sitting on: the same header, the same events, and
// nothing new before the earlier one ended.
bool continues(const replay::Recording& now, const replay::Recording& before) {
  if (now.systemTickUs != before.systemTickUs || now.seed != before.seed ||
      now.outerWidth != before.outerWidth || now.player != before.player ||
      now.endGrid < before.endGrid || now.events.size() < before.events.size())
    return false;
  for (std::size_t i = 0; i < before.events.size(); ++i)
    if (!(now.events[i] == before.events[i])) return false;
  return now.events.size() == before.events.size() ||
         now.events[before.events.size()].grid >= before.endGrid;
}

bool continuesText(const replay::Recording& now, const std::string& earlier) {
  const replay::ReadResult before = replay::read(earlier);
  return before.recording && continues(now, *before.recording);
}

// The games the rules have listed, each counted once, and when the first game began.
class FinishedGames {
public:
  void look(const frmCavewing& form) {
    if (firstFlightUs < 0 && phaseOf(form) == Phase::Flying) firstFlightUs = form.clock.now();
    if (phaseOf(form) != Phase::Crashed) {
      counted_ = false;
      return;
    }
    if (counted_ || !gameListed(form)) return;
    counted_ = true;
    scores.push_back(form.lblScore.Caption);
  }
  std::vector<std::string> scores;
  std::int64_t firstFlightUs = -1;  // in game time; -1 until a game has begun

private:
  bool counted_ = false;
};

}  // namespace

Verdict refusal(int status, std::string why) { return {status, std::move(why), {}, 0, 0}; }

Verdict verify(std::string_view text, const Expected& expected, const BeforeReplay& before) {
  return verify(replay::read(text), expected, before);
}

Verdict verify(replay::ReadResult read, const Expected& expected, const BeforeReplay& before) {
  const std::optional<replay::Recording> recording = std::move(read.recording);
  if (!recording) return refusal(400, "the recording does not replay: " + read.error);
  if (const std::string why = offTheRules(*recording); !why.empty()) return refusal(403, why);
  if (expected.sinceLastUs > sittingLife.silenceUs)
    return refusal(403, "the sitting has been silent for more than " +
                            minutes(sittingLife.silenceUs) +
                            " minutes and takes no more games; a new sitting does");
  if (recording->seed != expected.seed)
    return refusal(403, "the recording's seed is not the one issued to the sitting");
  if (playerName(recording->player) != expected.player)
    return refusal(403, "the recording's player is not the sitting's");
  if (gameUs(*recording) > expected.sinceIssuedUs + expected.slackUs)
    return refusal(403,
                   "the recording's game time is longer than the time since its seed was issued");
  if (!expected.earlier.empty() && !continuesText(*recording, expected.earlier))
    return refusal(409, "the recording does not continue the sitting's earlier one");
  if (before) before(gameUs(*recording));
  FinishedGames finished;
  cabinet::replayHeadless(*recording, nullptr, {},
                          [&](const frmCavewing& form) { finished.look(form); });
  // The real time before the first flight: all the real time since the seed but the flying.
  const std::int64_t flownUs =
      finished.firstFlightUs < 0 ? 0 : gameUs(*recording) - finished.firstFlightUs;
  if (expected.earlier.empty() &&
      expected.sinceIssuedUs - flownUs > sittingLife.startUs + expected.slackUs)
    return refusal(403, "the sitting's first game began more than " + minutes(sittingLife.startUs) +
                            " minutes after its seed was issued");
  return {200, {}, std::move(finished.scores), recording->events.size(), recording->endGrid};
}

}  // namespace server
