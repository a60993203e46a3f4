// SPDX-License-Identifier: MIT
// The program's start, shared by the desktop program and the headless one: what it prints and
// returns for each command line, and when it opens the window.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "start/words/Words.h"

namespace {

struct Launched {
  std::ostringstream out, err;
  int status = -1;
  int windows = 0;
  const replay::Recording* windowRecording = nullptr;
};

Launched run(const std::vector<std::string>& args) {
  Launched l;
  l.status = launch(args, l.out, l.err, [&](const CommandLine&, const replay::Recording* r) {
    ++l.windows;
    l.windowRecording = r;
    return 7;
  });
  return l;
}

const std::string Replays = CAVEWING_REPLAYS;

TEST(Launch, AnswersHelpVersionAndMistakesWithoutAWindow) {
  auto l = run({"--help"});
  EXPECT_EQ(l.status, 0);
  EXPECT_EQ(l.out.str(), CommandLine::usage("cavewing"));
  l = run({"--version"});
  EXPECT_EQ(l.status, 0);
  EXPECT_EQ(l.out.str().rfind("cavewing " CAVEWING_VERSION "\n", 0), 0u);
  EXPECT_NE(l.out.str().find("MIT licence"), std::string::npos);
  l = run({"--bogus"});
  EXPECT_EQ(l.status, 2);
  EXPECT_EQ(l.out.str(), "");
  EXPECT_NE(l.err.str().find("unknown option '--bogus'"), std::string::npos);
  l = run({"--replay", Replays + "/no-such.replay"});
  EXPECT_EQ(l.status, 2);
  EXPECT_NE(l.err.str().find("no-such.replay: "), std::string::npos) << l.err.str();
  EXPECT_EQ(run({"--help"}).windows + run({"--bogus"}).windows, 0);
  EXPECT_EQ(l.windows, 0);
}

TEST(Launch, AHeadlessReplayPrintsItsOutcomeAndOpensNoWindow) {
  const std::string file = Replays + "/floor-crash.replay";
  auto l = run({"--replay", file, "--headless"});
  EXPECT_EQ(l.status, 0);
  EXPECT_EQ(l.windows, 0);
  EXPECT_EQ(l.out.str().rfind("score "), 0u) << l.out.str();
  EXPECT_NE(l.out.str().find("\nphase crashed\n"), std::string::npos) << l.out.str();
  // The trace comes first, a line per grid point, and ends with the same outcome.
  const auto traced = run({"--replay", file, "--headless", "--trace"});
  const std::string trace = traced.out.str();
  EXPECT_EQ(trace.rfind("{\"grid\":1,", 0), 0u);
  EXPECT_EQ(trace.substr(trace.size() - l.out.str().size()), l.out.str());
}

// Keeps out: a failed write was told with whatever errno an earlier call had left.
TEST(Launch, AFailedWriteIsAnErrorWithItsRealReasonOrNone) {
  const auto noWindow = [](const CommandLine&, const replay::Recording*) { return 7; };
  {
    SCOPED_TRACE("a full device says why");
    std::ofstream full("/dev/full");
    ASSERT_TRUE(full.is_open());
    std::ostringstream err;
    errno = EACCES;
    EXPECT_EQ(launch({"--help"}, full, err, noWindow), 1);
    EXPECT_EQ(err.str(),
              std::string("cavewing: cannot write the help: ") + std::strerror(ENOSPC) + "\n");
  }
  // A reader that takes nothing and gives the system no reason.
  struct Refusing : std::streambuf {
    int_type overflow(int_type) override { return traits_type::eof(); }
    std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
  } refusing;
  for (const auto& [args, what] :
       {std::pair<std::vector<std::string>, std::string>{{"--version"}, "version"},
        {{"--replay", Replays + "/floor-crash.replay", "--headless", "--trace"}, "outcome"}}) {
    SCOPED_TRACE(what);
    std::ostream out(&refusing);
    std::ostringstream err;
    errno = EACCES;
    EXPECT_EQ(launch(args, out, err, noWindow), 1);
    EXPECT_EQ(err.str(), "cavewing: cannot write the " + what + "\n");
  }
}

TEST(Launch, TheWindowGetsTheOptionsAndTheRecordingToPlay) {
  auto l = run({"--seed", "5"});
  EXPECT_EQ(l.windows, 1);
  EXPECT_EQ(l.status, 7);
  EXPECT_EQ(l.windowRecording, nullptr);
  CommandLine seen;
  replay::Recording played;
  launch({"--replay", Replays + "/long-climb.replay"}, l.out, l.err,
         [&](const CommandLine& options, const replay::Recording* r) {
           seen = options;
           if (r) played = *r;
           return 0;
         });
  EXPECT_EQ(seen.replayFile, Replays + "/long-climb.replay");
  EXPECT_FALSE(played.events.empty());
}

}  // namespace
