// SPDX-License-Identifier: MIT
// A recording made up in a test: its events, where it ends, and who played it.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "replay/Recording.h"

inline replay::Recording recordingOf(std::vector<replay::Event> events, std::int64_t endGrid,
                                     std::uint64_t seed = 11, std::string player = "PILOT") {
  replay::Recording r;
  r.seed = seed;
  r.player = std::move(player);
  r.events = std::move(events);
  r.endGrid = endGrid;
  return r;
}
