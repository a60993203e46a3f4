// SPDX-License-Identifier: MIT
// What the cave keeps true after every tick, in every phase: both rows of wall blocks unbroken,
// each ceiling inside its band, no floor below its limit, and the obstacle inside the opening of
// its column with a passage beside it. Shared by the tunnel tests and the soak.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "app/frmCavewing.h"

namespace cave {

inline bool rowIsContiguous(const frmCavewing& f, int first) {
  std::array<float, frmCavewing::Columns> lefts{};
  for (std::size_t i = 0; i < lefts.size(); ++i) lefts[i] = f.shptunnel[first + int(i)].Left;
  std::sort(lefts.begin(), lefts.end());
  for (std::size_t i = 1; i < lefts.size(); ++i)
    if (lefts[i] - lefts[i - 1] != 1200) return false;
  return true;
}

inline bool obstacleInPlay(const frmCavewing& f) {
  return f.shpTunnelM.Left + f.shpTunnelM.Width >= 0;
}

// The obstacle's own column and the two either side of it, where the cave keeps its passage.
inline bool nearObstacle(const frmCavewing& f, int column) {
  return obstacleInPlay(f) && std::fabs(f.shptunnel[column].Left - f.shpTunnelM.Left) <= 2400;
}

// Fails the running test (fatally) where the cave breaks a rule.
inline void checkShape(const frmCavewing& f) {
  ASSERT_TRUE(rowIsContiguous(f, 0));
  ASSERT_TRUE(rowIsContiguous(f, frmCavewing::FirstFloorBlock));
  for (int i = 0; i < frmCavewing::Columns; ++i) {
    const form::Shape& ceiling = f.shptunnel[i];
    const form::Shape& floor = f.shptunnel[frmCavewing::FirstFloorBlock + i];
    ASSERT_EQ(ceiling.Left, floor.Left) << i;
    ASSERT_GT(ceiling.Top, -7800) << i;
    ASSERT_LT(ceiling.Top, -240) << i;
    ASSERT_LE(floor.Top, 10500) << i;
  }
  if (!obstacleInPlay(f)) return;
  // The obstacle lies inside the opening of its column, and a passage 900 high stays free
  // directly above or below it over every column the helicopter can touch beside it.
  const form::Shape& m = f.shpTunnelM;
  float passageAbove = 1e9f, passageBelow = 1e9f;
  for (int i = 0; i < frmCavewing::Columns; ++i) {
    if (!nearObstacle(f, i)) continue;
    const float ceilingEdge = f.shptunnel[i].Top + f.shptunnel[i].Height;
    const float floorTop = f.shptunnel[frmCavewing::FirstFloorBlock + i].Top;
    if (f.shptunnel[i].Left < m.Left + m.Width && f.shptunnel[i].Left + 1200 > m.Left) {
      ASSERT_LE(ceilingEdge, m.Top) << i;
      ASSERT_GE(floorTop, m.Top + m.Height) << i;
    }
    passageAbove = std::min(passageAbove, std::min(m.Top, floorTop) - ceilingEdge);
    passageBelow = std::min(passageBelow, floorTop - std::max(m.Top + m.Height, ceilingEdge));
  }
  ASSERT_GE(std::max(passageAbove, passageBelow), 900);
}

}  // namespace cave
