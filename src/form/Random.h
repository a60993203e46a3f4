// SPDX-License-Identifier: MIT
// The game's random numbers: a small, fast generator with values in [0, 1), the same sequence
// for the same seed on every machine. Seeded once from the time of day unless a seed was given.
#pragma once

#include <cstdint>
#include <optional>

namespace form {

class Random {
public:
  explicit Random(std::optional<std::uint64_t> fixedSeed = std::nullopt);
  virtual ~Random() = default;

  // Seeds from the time of day; a seed given at construction wins, so that `--seed` repeats a cave.
  void Randomize(double secondsSinceMidnight);
  // The next value in [0, 1).
  virtual float Rnd();
  // The seed in use: what a recording needs to draw the same values again.
  std::uint64_t Seed() const { return seed_; }

private:
  void seed(std::uint64_t value) { seed_ = state_ = value; }

  std::optional<std::uint64_t> fixedSeed_;
  std::uint64_t seed_ = 0;
  std::uint64_t state_ = 0;
};

}  // namespace form
