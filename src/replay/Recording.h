// SPDX-License-Identifier: MIT
// A recorded sitting: everything that determines it (the clock's system tick, the generator and
// its seed, the window's outer width at load, the player's name) and the player's input events,
// in the cabinet's vocabulary, with their grid points. Kept in a small line-based text format:
//
//   cavewing-replay 2
//   system-tick-us 15625
//   generator splitmix64 1234
//   outer-width 15360
//   player "JANE"
//   events
//   12 start
//   40 down form 1 0 3000 5200
//   ...
//   end 950
//
// Version 1 held `wide 0` or `wide 1` in place of the outer width: the normal window's width or
// the wide one's. Such recordings are still read and play as before.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "replay/Event.h"

namespace replay {

struct Recording {
  static constexpr int version = 2;
  // What the reader accepts, and so what the recorder keeps to, so that any replay stays within
  // 64 MiB and a few seconds: a sitting of a day at the most, and of no more grid points than a
  // day has at the usual 64 a second (a finer grid costs as much work per grid point); hours of
  // the busiest play in events; a file of at most maxBytes, read as it goes.
  static constexpr std::size_t maxEvents = 250'000;
  static constexpr std::int64_t maxDurationUs = std::int64_t{86'400} * 1'000'000;
  static constexpr std::int64_t maxGridPoints = std::int64_t{86'400} * 64;
  static constexpr std::size_t maxBytes = 32u << 20;
  // The last grid point a recording on a grid of `systemTickUs` may reach.
  static constexpr std::int64_t lastGrid(std::int64_t systemTickUs) {
    return std::min(maxDurationUs / systemTickUs, maxGridPoints);
  }
  // What that last grid point stands for, in words.
  static std::string longestSpan(std::int64_t systemTickUs);
  static constexpr const char* generator = "splitmix64";
  // The normal window's outer width and the wide layout's, in twips: the two a version 1
  // recording names. The rules' layout is their source; the cabinet checks that both agree.
  static constexpr float normalOuterWidth = 15360;
  static constexpr float wideOuterWidth = 19290;
  std::int64_t systemTickUs = 15625;
  std::uint64_t seed = 0;
  float outerWidth = normalOuterWidth;  // the window's, as the game read it at load
  bool wide() const { return outerWidth == wideOuterWidth; }
  std::string player;
  std::vector<Event> events;  // in the input event vocabulary
  std::int64_t endGrid = 0;   // the grid point at which the recording stopped

  friend bool operator==(const Recording&, const Recording&) = default;
};

void write(std::ostream& out, const Recording& recording);

struct ReadResult {
  std::optional<Recording> recording;
  std::string error;  // "line N: what is wrong", when there is no recording
};
// Reads a recording; refuses anything it cannot replay exactly, with a clear message.
ReadResult read(std::istream& in);
// The same from a text in memory, read where it lies.
ReadResult read(std::string_view text);
// The same from a file: only a regular one, of at most maxBytes; the error says why it is not.
ReadResult readFile(const std::string& path);
// Replaces the file whole (as every file the game keeps), so that a reader never finds half a
// recording; false with the reason in `error`.
bool writeFile(const std::string& path, const Recording& recording, const std::string& comment,
               std::string& error);

}  // namespace replay
