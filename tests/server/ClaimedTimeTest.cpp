// SPDX-License-Identifier: MIT
// The game time a recording claims, read before it is verified, sends a long replay to the line
// of long ones: a recording cannot hide its length from it.
#include <gtest/gtest.h>

#include <limits>

#include "server/Service.h"

namespace {

std::string recording(const std::string& tick, const std::string& end, const char* newline) {
  std::string text = std::string("cavewing-replay 2") + newline + "system-tick-us " + tick +
                     newline + "generator splitmix64 7" + newline + "outer-width 15360" + newline +
                     "player \"P\"" + newline + "events" + newline + "3 start" + newline + end;
  return text;
}

TEST(ClaimedGameTime, IsReadFromTheTickAndTheLastLineHoweverTheLinesEnd) {
  // Half an hour at 64 grid points a second.
  EXPECT_EQ(server::claimedGameUs(recording("15625", "end 115200\n", "\n")), 1'800'000'000);
  EXPECT_EQ(server::claimedGameUs(recording("15625", "end 115200\r\n\r\n\n", "\r\n")),
            1'800'000'000);
  EXPECT_EQ(server::claimedGameUs(recording("1000000", "end 86400", "\n")), 86'400'000'000);
  // A claim past any number saturates instead of wrapping round to a short one.
  EXPECT_EQ(server::claimedGameUs(recording("999999999999", "end 999999999999\n", "\n")),
            std::numeric_limits<std::int64_t>::max());
  // No claim: the strict reader refuses such a recording anyway.
  EXPECT_EQ(server::claimedGameUs(recording("15625", "3 start\n", "\n")), 0);
  EXPECT_EQ(server::claimedGameUs(recording("x", "end 5\n", "\n")), 0);
  EXPECT_EQ(server::claimedGameUs("\n\n"), 0);
  EXPECT_EQ(server::claimedGameUs(""), 0);
}

}  // namespace
