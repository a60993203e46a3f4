// SPDX-License-Identifier: MIT
// splitmix64: tiny, well mixed, and identical on every platform.
#include "form/Random.h"

#include <cfloat>
#include <cstring>

// The rules' single-precision arithmetic comes out the same on every platform only while each
// operation rounds to float at once: no excess precision (x87), no fast-math.
static_assert(FLT_EVAL_METHOD == 0, "floats must be computed in their own precision");
#ifdef __FAST_MATH__
#error "fast-math changes the rules' arithmetic"
#endif

namespace form {

Random::Random(std::optional<std::uint64_t> fixedSeed) : fixedSeed_(fixedSeed) {
  seed(fixedSeed.value_or(0));
}

void Random::Randomize(double secondsSinceMidnight) {
  // The time's bits as they are (std::bit_cast is missing from the WebAssembly build's library).
  std::uint64_t bits = 0;
  static_assert(sizeof bits == sizeof secondsSinceMidnight);
  std::memcpy(&bits, &secondsSinceMidnight, sizeof bits);
  seed(fixedSeed_.value_or(bits));
}

float Random::Rnd() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  z ^= z >> 31;
  // 24 bits fill a float's mantissa exactly, so the value is strictly below 1.
  return static_cast<float>(z >> 40) * (1.0f / 16777216.0f);
}

}  // namespace form
