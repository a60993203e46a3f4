// SPDX-License-Identifier: MIT
// The command line's options checked, however they were given (the program's words, the page's
// address), and the program's usage.
#include "start/CommandLine.h"

#include <charconv>
#include <utility>

namespace {

std::optional<std::uint64_t> parseSeed(const std::string& text) {
  std::uint64_t value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

// An address of a score server, not a file's name: http:// or https:// and a host.
bool serverAddress(const std::string& value) {
  for (const std::string scheme : {"http://", "https://"})
    if (value.rfind(scheme, 0) == 0) return value.size() > scheme.size();
  return false;
}

}  // namespace

CommandLine CommandLine::refused(std::string why) {
  CommandLine result;
  result.action = Action::Error;
  result.error = std::move(why);
  return result;
}

CommandLine CommandLine::checked(const Given& given) {
  CommandLine result;
  result.wide = given.wide;
  result.demo = given.demo;
  result.mute = given.mute;
  result.noGhost = given.noGhost;
  result.headless = given.headless;
  result.trace = given.trace;
  result.today = given.today;
  // A value that is no value is a mistake, even beside --help or --version.
  if (given.seed) {
    result.seed = parseSeed(*given.seed);
    if (!result.seed)
      return refused("--seed takes a whole number from 0 to 2^64-1, not '" + *given.seed + "'");
  }
  for (const auto& [file, name] :
       {std::pair{&given.scores, "--scores"}, std::pair{&given.record, "--record"},
        std::pair{&given.replay, "--replay"}, std::pair{&given.ghost, "--ghost"}})
    if (*file && (*file)->empty())
      return refused("option " + std::string(name) + " needs a file name");
  const std::string scores = given.scores.value_or("");
  (serverAddress(scores) ? result.scoresServer : result.scoresFile) = scores;
  result.recordFile = given.record.value_or("");
  result.replayFile = given.replay.value_or("");
  result.ghostFile = given.ghost.value_or("");
  // --help and --version win over other options, but not over a wrong one.
  if (given.asked) {
    result.action = *given.asked;
    return result;
  }
  if (result.demo && !result.replayFile.empty())
    return refused("--demo and --replay do not go together");
  // A replay plays the recording as it was: these would be ignored, so they are refused.
  if (!result.replayFile.empty()) {
    for (const auto& [isGiven, name] :
         {std::pair{result.wide, "--wide"}, std::pair{result.seed.has_value(), "--seed"},
          std::pair{!result.scoresFile.empty() || !result.scoresServer.empty(), "--scores"},
          std::pair{!result.recordFile.empty(), "--record"}})
      if (isGiven) return refused(std::string(name) + " does not go with --replay");
  }
  // The ghost's game decides the cave and the layout.
  if (!result.ghostFile.empty())
    for (const auto& [isGiven, name] :
         {std::pair{result.wide, "--wide"}, std::pair{result.seed.has_value(), "--seed"},
          std::pair{!result.scoresServer.empty(), "--scores URL"},
          std::pair{!result.replayFile.empty(), "--replay"}})
      if (isGiven) return refused(std::string(name) + " does not go with --ghost");
  // The server's table takes only games from the seeds it gives.
  if (result.seed && !result.scoresServer.empty())
    return refused("--seed does not go with --scores URL: the score server gives the seed");
  // Only a score server knows the day's cave: without one the player would fly another unawares.
  if (result.today && result.scoresServer.empty())
    return refused("--today goes with --scores URL: the score server gives today's cave");
  if (result.headless && result.replayFile.empty())
    return refused("--headless goes with --replay FILE");
  if (result.trace && !result.headless)
    return refused("--trace goes with --replay FILE --headless");
  return result;
}

std::string CommandLine::usage(const std::string& program) {
  return "Usage: " + program +
         " [OPTION]...\n"
         "Keep the helicopter aloft in a cave that scrolls from right to left.\n"
         "Hold the left mouse button (or the Up arrow key) to climb, let go to fall; the right\n"
         "button, Esc, Enter or Space pause.\n"
         "\n"
         "  --wide        open the wide window (1286 pixels across), with the layout made for it\n"
         "  --seed N      start the random cave from seed N (the same seed gives the same cave)\n"
         "  --scores FILE keep the high scores in FILE\n"
         "  --scores URL  play on the table of the score server at URL (http:// or https://):\n"
         "                the server gives each sitting its cave and verifies every game;\n"
         "                without an answer, the local table, and the games go later\n"
         "  --today       with --scores URL: fly today's cave, the same for everyone, on the\n"
         "                day's table; every game flies it from its start\n"
         "  --record FILE record the games played in FILE (instead of the usual last-game);\n"
         "                with --demo, the demo's games\n"
         "  --replay FILE play a recorded game back in the window; a key or click stops it\n"
         "  --headless    with --replay: play it back without a window, print the outcome\n"
         "  --trace       with --headless: print the state at every grid point, as JSON\n"
         "  --demo        play by itself until a click or a key; the demo keeps no high scores\n"
         "                and no last game\n"
         "  --mute        start with the sounds muted\n"
         "  --ghost FILE  fly against a recorded game: its cave, its helicopter drawn beside\n"
         "                yours as a ghost from START to its crash\n"
         "  --no-ghost    start with the ghost hidden\n"
         "  -h, --help    show this help and exit\n"
         "  --version     show the version and exit\n"
         "\n"
         "The high scores are kept in Cavewing.txt beside the program; an installed copy, or one\n"
         "whose folder cannot be written, keeps them in the player's data folder\n"
         "(~/.local/share/Cavewing). Wherever the table is, the games are recorded in that data\n"
         "folder: the whole sitting as last-game, the one that set the best score as best-game.\n"
         "\n"
         "F11 toggles full screen; F12 mutes the sounds and back; F9 hides the ghost and\n"
         "back (both choices are kept). In flight, the game stands still while its window is\n"
         "not in front; a click or a key goes on.\n"
         "\n"
         "The player's name in the table is the first of NWUSERNAME, LOGIN, USERNAME, USER and\n"
         "LOGNAME that is set and not blank.\n";
}
