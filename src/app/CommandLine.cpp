// Parsing of the command line, kept apart from Qt so that it can be tested headless.
#include "app/CommandLine.h"

#include <charconv>

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

}  // namespace

CommandLine CommandLine::parse(const std::vector<std::string>& args) {
  CommandLine result;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      result.action = Action::Help;
      return result;
    }
    if (arg == "--version") {
      result.action = Action::Version;
      return result;
    }
    if (arg == "--wide") {
      result.wide = true;
    } else if (arg == "--demo") {
      result.demo = true;
    } else if (arg == "--seed" || arg.rfind("--seed=", 0) == 0) {
      std::string value;
      if (arg == "--seed") {
        if (i + 1 >= args.size()) return failure("option --seed needs a number");
        value = args[++i];
      } else {
        value = arg.substr(7);
      }
      result.seed = parseSeed(value);
      if (!result.seed)
        return failure("--seed takes a whole number from 0 to 2^64-1, not '" + value + "'");
    } else if (arg == "--scores" || arg.rfind("--scores=", 0) == 0) {
      if (arg == "--scores") {
        if (i + 1 >= args.size()) return failure("option --scores needs a file name");
        result.scoresFile = args[++i];
      } else {
        result.scoresFile = arg.substr(9);
      }
      if (result.scoresFile.empty()) return failure("option --scores needs a file name");
    } else {
      return failure("unknown option '" + arg + "'");
    }
  }
  return result;
}

std::string CommandLine::usage(const std::string& program) {
  return "Usage: " + program +
         " [OPTION]...\n"
         "Keep the helicopter aloft in a cave that scrolls from right to left.\n"
         "Hold the left mouse button to climb; the right button, Esc, Enter or Space pause.\n"
         "\n"
         "  --wide        open the wide window, with the layout made for it\n"
         "  --seed N      start the random cave from seed N (the same seed gives the same cave)\n"
         "  --scores FILE keep the high scores in FILE\n"
         "  --demo        play by itself until a click or a key; the demo keeps no high scores\n"
         "  -h, --help    show this help and exit\n"
         "  --version     show the version and exit\n"
         "\n"
         "The high scores are kept in Cavewing.txt beside the program, or, when the program's\n"
         "folder cannot be written, in the player's data folder (~/.local/share/Cavewing).\n";
}
