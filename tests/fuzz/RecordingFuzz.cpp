// SPDX-License-Identifier: MIT
// Fuzz target for the recorded-game reader: any bytes at all are either refused with a message
// that names a line, or read into a recording that writes out and reads back the same; read from
// memory or as a stream, the same.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "replay/Recording.h"

namespace {

void require(bool condition, const char* what) {
  if (condition) return;
  std::fprintf(stderr, "recording reader: %s\n", what);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::istringstream in(bytes);
  const replay::ReadResult result = replay::read(in);
  const replay::ReadResult inPlace = replay::read(std::string_view(bytes));
  require(inPlace.error == result.error && inPlace.recording == result.recording,
          "a text in memory reads as the same text streamed");
  if (!result.recording) {
    require(result.error.rfind("line ", 0) == 0, "a refusal names its line");
    return 0;
  }
  const replay::Recording& r = *result.recording;
  for (std::size_t i = 1; i < r.events.size(); ++i)
    require(r.events[i - 1].grid <= r.events[i].grid, "events in order");
  require(r.events.empty() || r.events.back().grid <= r.endGrid, "events before the end");
  std::stringstream text;
  replay::write(text, r);
  const replay::ReadResult again = replay::read(text);
  require(again.recording.has_value(), "what was written reads back");
  require(*again.recording == r, "and reads back the same");
  return 0;
}
