// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "start/words/Words.h"

namespace {

TEST(CommandLine, PlaysWithNoOptions) {
  const auto c = readWords({});
  EXPECT_EQ(c.action, CommandLine::Action::Play);
  EXPECT_FALSE(c.wide);
  EXPECT_FALSE(c.demo);
  EXPECT_FALSE(c.seed);
}

TEST(CommandLine, WideDemoAndSeedInBothSpellings) {
  auto c = readWords({"--wide", "--demo", "--seed", "42"});
  EXPECT_EQ(c.action, CommandLine::Action::Play);
  EXPECT_TRUE(c.wide);
  EXPECT_TRUE(c.demo);
  EXPECT_EQ(c.seed, 42u);
  c = readWords({"--seed=18446744073709551615"});
  EXPECT_EQ(c.seed, 18446744073709551615u);
}

TEST(CommandLine, ScoresTakesAFileOrAScoreServersAddress) {
  auto c = readWords({"--scores", "https://scores.example/cavewing/"});
  EXPECT_EQ(c.scoresServer, "https://scores.example/cavewing/");
  EXPECT_EQ(c.scoresFile, "");
  c = readWords({"--scores=http://127.0.0.1:8080"});
  EXPECT_EQ(c.scoresServer, "http://127.0.0.1:8080");
  // Anything else is a file's name, an address with no host too.
  for (const char* file : {"http:/x", "scores.txt", "http://", "ftp://host/t"}) {
    c = readWords({"--scores", file});
    EXPECT_EQ(c.scoresFile, file);
    EXPECT_EQ(c.scoresServer, "");
  }
  // The server gives the seed: a seed of the player's own could never be ranked there.
  c = readWords({"--seed", "5", "--scores", "http://host/"});
  EXPECT_EQ(c.action, CommandLine::Action::Error);
  EXPECT_NE(c.error.find("--seed"), std::string::npos) << c.error;
  // Today's cave is the server's: without one it is refused, not flown as another cave.
  EXPECT_TRUE(readWords({"--today", "--scores", "http://host/"}).today);
  for (const auto& words :
       {std::vector<std::string>{"--today"}, {"--today", "--scores", "s.txt"}}) {
    c = readWords(words);
    EXPECT_EQ(c.action, CommandLine::Action::Error) << words.back();
    EXPECT_NE(c.error.find("--scores URL"), std::string::npos) << c.error;
  }
}

TEST(CommandLine, HelpAndVersionWinOverGoodOptionsButNotOverAWrongOne) {
  EXPECT_EQ(readWords({"--help", "--wide"}).action, CommandLine::Action::Help);
  EXPECT_EQ(readWords({"--seed", "3", "-h"}).action, CommandLine::Action::Help);
  EXPECT_EQ(readWords({"--version"}).action, CommandLine::Action::Version);
  EXPECT_EQ(readWords({"--version", "--help"}).action, CommandLine::Action::Version);
  // Regression: "--help --bogus" succeeded while "--bogus --help" failed.
  EXPECT_EQ(readWords({"--help", "--bogus"}).action, CommandLine::Action::Error);
  EXPECT_EQ(readWords({"--bogus", "--help"}).action, CommandLine::Action::Error);
}

TEST(CommandLine, OptionsThatWouldDoNothingAreRefused) {
  // A replay plays the recording as it was: a seed, a table, a recording or a width are ignored.
  for (const auto& extra : std::vector<std::vector<std::string>>{{"--seed", "5"},
                                                                 {"--record", "x"},
                                                                 {"--scores", "y"},
                                                                 {"--scores", "http://h/"},
                                                                 {"--wide"}}) {
    std::vector<std::string> args = {"--replay", "F", "--headless"};
    args.insert(args.end(), extra.begin(), extra.end());
    const auto c = readWords(args);
    EXPECT_EQ(c.action, CommandLine::Action::Error) << extra[0];
    EXPECT_NE(c.error.find(extra[0]), std::string::npos) << c.error;
  }
  // The demo records its games in the file asked for.
  const auto demo = readWords({"--demo", "--record", "demo.replay"});
  EXPECT_EQ(demo.action, CommandLine::Action::Play);
  EXPECT_EQ(demo.recordFile, "demo.replay");
}

TEST(CommandLine, BadInputIsAnErrorWithAClearMessage) {
  for (const auto& [args, said] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"--bogus"}, "unknown option '--bogus'"},
           {{"--seed"}, "option --seed needs a number"},
           {{"--replay"}, "option --replay needs a file name"},
           {{"--wide=1"}, "option --wide takes no value"},
           {{"--seed", "x"}, "--seed takes a whole number"},
           {{"--seed", "-1"}, "--seed takes a whole number"},
           {{"--seed=12abc"}, "--seed takes a whole number"},
           {{"--seed", "99999999999999999999999"}, "--seed takes a whole number"},
           {{"wide"}, "wide"},
           {{"--demo", "--replay", "F"}, "--demo and --replay do not go together"},
           {{"--ghost", "G", "--wide"}, "--wide does not go with --ghost"},
           {{"--ghost", "G", "--scores", "http://h/"}, "--scores URL does not go with --ghost"},
           {{"--ghost", "G", "--replay", "F"}, "--replay does not go with --ghost"}}) {
    const auto c = readWords(args);
    EXPECT_EQ(c.action, CommandLine::Action::Error) << args[0];
    EXPECT_NE(c.error.find(said), std::string::npos) << c.error;
  }
  // A table of the player's own goes with a ghost, and the sounds and the ghost start as asked.
  const auto c = readWords({"--ghost", "G", "--scores", "s.txt", "--mute", "--no-ghost"});
  EXPECT_EQ(c.action, CommandLine::Action::Play) << c.error;
  EXPECT_TRUE(c.mute && c.noGhost);
}

TEST(CommandLine, ReplayOptionsGoTogether) {
  auto c = readWords({"--replay", "a.replay", "--headless", "--trace"});
  EXPECT_EQ(c.action, CommandLine::Action::Play);
  EXPECT_EQ(c.replayFile, "a.replay");
  EXPECT_TRUE(c.headless && c.trace);
  c = readWords({"--record=games.txt"});
  EXPECT_EQ(c.recordFile, "games.txt");
  EXPECT_EQ(readWords({"--headless"}).action, CommandLine::Action::Error);
  EXPECT_EQ(readWords({"--replay", "a", "--trace"}).action, CommandLine::Action::Error);
  EXPECT_EQ(readWords({"--replay"}).action, CommandLine::Action::Error);
  EXPECT_EQ(readWords({"--record="}).action, CommandLine::Action::Error);
}

TEST(CommandLine, UsageNamesEveryOption) {
  const auto usage = CommandLine::usage("cavewing");
  for (const char* option : {"--wide", "--demo", "--seed", "--scores", "--record", "--replay",
                             "--headless", "--trace", "--today", "--help", "--version"})
    EXPECT_NE(usage.find(option), std::string::npos) << option;
}

}  // namespace
