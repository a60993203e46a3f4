// A recorded sitting: everything that determines it (the clock's system tick, the generator and its
// seed, the layout, the player's name) and the player's input events with their grid points.
// Kept in a small line-based text format:
//
//   cavewing-replay 1
//   system-tick-us 15625
//   generator splitmix64 1234
//   wide 0
//   player "JANE"
//   events
//   12 start
//   40 down form 1 0 3000 5200
//   ...
//   end 950
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cabinet/Event.h"

namespace replay {

struct Recording {
  static constexpr int version = 1;
  static constexpr const char* generator = "splitmix64";
  std::int64_t systemTickUs = 15625;
  std::uint64_t seed = 0;
  bool wide = false;
  std::string player;
  std::vector<cabinet::Event> events;  // in the cabinet's event vocabulary
  std::int64_t endGrid = 0;            // the grid point at which the recording stopped

  friend bool operator==(const Recording&, const Recording&) = default;
};

void write(std::ostream& out, const Recording& recording);

struct ReadResult {
  std::optional<Recording> recording;
  std::string error;  // "line N: what is wrong", when there is no recording
};
// Reads a recording; refuses anything it cannot replay exactly, with a clear message.
ReadResult read(std::istream& in);
ReadResult readFile(const std::string& path);
// Writes beside the file and replaces it whole, so that a reader never finds half a recording.
bool writeFile(const std::string& path, const Recording& recording,
               const std::string& comment = {});

}  // namespace replay
