// SPDX-License-Identifier: MIT
// The program's words read with CLI11; what they ask for is checked by CommandLine::checked, the
// same as the page's address.
#include "start/words/Words.h"

#include <CLI/CLI.hpp>

namespace {

// Takes the words into `given`; returns what is wrong with them, in the program's own terms, or
// nothing when they read.
std::string take(const std::vector<std::string>& args, CommandLine::Given& given) {
  CLI::App app;
  // A word given twice counts as its last, as it always did.
  app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  // The usage is our own text, as the man page has it; --help is a flag like any other, so that a
  // wrong word beside it is still a mistake.
  app.set_help_flag();
  const CLI::Option* help = app.add_flag("-h,--help");
  const CLI::Option* version = app.add_flag("--version");
  for (const auto& [name, flag] :
       {std::pair{"--wide", &given.wide}, std::pair{"--demo", &given.demo},
        std::pair{"--mute", &given.mute}, std::pair{"--no-ghost", &given.noGhost},
        std::pair{"--headless", &given.headless}, std::pair{"--trace", &given.trace},
        std::pair{"--today", &given.today}})
    app.add_flag(name, *flag)->disable_flag_override();
  for (const auto& [name, value] :
       {std::pair{"--seed", &given.seed}, std::pair{"--scores", &given.scores},
        std::pair{"--record", &given.record}, std::pair{"--replay", &given.replay},
        std::pair{"--ghost", &given.ghost}})
    app.add_option(name, *value);
  // CLI11 takes the words from the back of the list.
  std::vector<std::string> words(args.rbegin(), args.rend());
  try {
    app.parse(words);
  } catch (const CLI::ExtrasError&) {
    return "unknown option '" + app.remaining().front() + "'";
  } catch (const CLI::ArgumentMismatch& e) {
    // CLI11 names the option first: "--seed: 1 required TEXT missing", or a flag given a value,
    // "wide was given a disallowed flag override".
    const std::string said = e.what(), named = said.substr(0, said.find_first_of(": ")),
                      name = "--" + named.substr(named.find_first_not_of('-'));
    if (said.find("missing") == std::string::npos) return "option " + name + " takes no value";
    return "option " + name + (name == "--seed" ? " needs a number" : " needs a file name");
  } catch (const CLI::ParseError& e) {
    return e.what();
  }
  // --help and --version: the first of them given wins.
  for (const CLI::Option* option : app.parse_order())
    if (option == help || option == version) {
      given.asked = option == help ? CommandLine::Action::Help : CommandLine::Action::Version;
      break;
    }
  return {};
}

}  // namespace

CommandLine readWords(const std::vector<std::string>& args) {
  CommandLine::Given given;
  const std::string wrong = take(args, given);
  return wrong.empty() ? CommandLine::checked(given) : CommandLine::refused(wrong);
}

int launch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const OpenWindow& openWindow) {
  return launch(readWords(args), out, err, openWindow);
}
