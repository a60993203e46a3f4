// SPDX-License-Identifier: MIT
// Parsing of the command line, kept apart from Qt so that it can be tested headless.
#include "start/CommandLine.h"

#include <charconv>
#include <utility>

namespace {

CommandLine failure(std::string message) {
  CommandLine result;
  result.action = CommandLine::Action::Error;
  result.error = std::move(message);
  return result;
}

std::optional<std::uint64_t> parseSeed(const std::string& text) {
  std::uint64_t value = 0;
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
  return value;
}

// The value of an option that takes one, given as "--name VALUE" or "--name=VALUE".
std::optional<std::string> optionValue(const std::vector<std::string>& args, std::size_t& i,
                                       const std::string& name) {
  const std::string& arg = args[i];
  if (arg == name) return i + 1 < args.size() ? std::optional(args[++i]) : std::nullopt;
  if (arg.rfind(name + "=", 0) == 0) return arg.substr(name.size() + 1);
  return std::nullopt;
}

// An address of a score server, not a file's name: http:// or https:// and a host.
bool serverAddress(const std::string& value) {
  for (const std::string scheme : {"http://", "https://"})
    if (value.rfind(scheme, 0) == 0) return value.size() > scheme.size();
  return false;
}

bool takesValue(const std::string& arg, const std::string& name) {
  return arg == name || arg.rfind(name + "=", 0) == 0;
}

}  // namespace

CommandLine CommandLine::parse(const std::vector<std::string>& args) {
  CommandLine result;
  // --help and --version win over other options, but not over a wrong one, wherever it stands.
  std::optional<Action> asked;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      asked = asked.value_or(Action::Help);
    } else if (arg == "--version") {
      asked = asked.value_or(Action::Version);
    } else if (arg == "--wide") {
      result.wide = true;
    } else if (arg == "--demo") {
      result.demo = true;
    } else if (arg == "--mute") {
      result.mute = true;
    } else if (arg == "--headless") {
      result.headless = true;
    } else if (arg == "--trace") {
      result.trace = true;
    } else if (takesValue(arg, "--seed")) {
      const auto value = optionValue(args, i, "--seed");
      if (!value) return failure("option --seed needs a number");
      result.seed = parseSeed(*value);
      if (!result.seed)
        return failure("--seed takes a whole number from 0 to 2^64-1, not '" + *value + "'");
    } else if (takesValue(arg, "--scores") || takesValue(arg, "--record") ||
               takesValue(arg, "--replay")) {
      const std::string name = arg.substr(0, arg.find('='));
      const auto value = optionValue(args, i, name);
      if (!value || value->empty()) return failure("option " + name + " needs a file name");
      if (name == "--scores" && serverAddress(*value))
        result.scoresServer = *value;
      else
        (name == "--scores"   ? result.scoresFile
         : name == "--record" ? result.recordFile
                              : result.replayFile) = *value;
    } else {
      return failure("unknown option '" + arg + "'");
    }
  }
  if (asked) {
    result.action = *asked;
    return result;
  }
  if (result.demo && !result.replayFile.empty())
    return failure("--demo and --replay do not go together");
  // A replay plays the recording as it was: these would be ignored, so they are refused.
  if (!result.replayFile.empty()) {
    for (const auto& [given, name] :
         {std::pair{result.wide, "--wide"}, std::pair{result.seed.has_value(), "--seed"},
          std::pair{!result.scoresFile.empty() || !result.scoresServer.empty(), "--scores"},
          std::pair{!result.recordFile.empty(), "--record"}})
      if (given) return failure(std::string(name) + " does not go with --replay");
  }
  // The server's table takes only games from the seeds it gives.
  if (result.seed && !result.scoresServer.empty())
    return failure("--seed does not go with --scores URL: the score server gives the seed");
  if (result.headless && result.replayFile.empty())
    return failure("--headless goes with --replay FILE");
  if (result.trace && !result.headless)
    return failure("--trace goes with --replay FILE --headless");
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
         "  --record FILE record the games played in FILE (instead of the usual last-game);\n"
         "                with --demo, the demo's games\n"
         "  --replay FILE play a recorded game back in the window; a key or click stops it\n"
         "  --headless    with --replay: play it back without a window, print the outcome\n"
         "  --trace       with --headless: print the state at every grid point, as JSON\n"
         "  --demo        play by itself until a click or a key; the demo keeps no high scores\n"
         "                and no last game\n"
         "  --mute        start with the sounds muted\n"
         "  -h, --help    show this help and exit\n"
         "  --version     show the version and exit\n"
         "\n"
         "The high scores are kept in Cavewing.txt beside the program; an installed copy, or one\n"
         "whose folder cannot be written, keeps them in the player's data folder\n"
         "(~/.local/share/Cavewing). Wherever the table is, the games are recorded in that data\n"
         "folder: the whole sitting as last-game, the one that set the best score as best-game.\n"
         "\n"
         "F11 toggles full screen; F12 mutes the sounds and back (the choice is kept). In\n"
         "flight, the game stands still while its window is not in front; a click or a key\n"
         "goes on.\n"
         "\n"
         "The player's name in the table is the first of NWUSERNAME, LOGIN, USERNAME, USER and\n"
         "LOGNAME that is set and not blank.\n";
}
