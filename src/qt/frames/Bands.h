// SPDX-License-Identifier: MIT
// Pixels as a region holds them, worked out in one sweep from the top down: bands of rows, each
// split at its gaps into rectangles side by side, two equal bands that touch merged into one.
// The cave's blocks stand side by side, each in bands of its own: united one at a time in a
// QRegion, every union walks and copies the whole region grown so far; a sweep sees each block
// once per band it spans. The lists are exactly a QRegion's rectangles, so regions made of them
// compare, iterate and flush as if QRegion had built them.
#pragma once

#include <QRect>
#include <QRegion>
#include <span>
#include <utility>
#include <vector>

namespace bands {

// The sweeps, with their working lists kept from one call to the next: once the lists have
// grown, a frame's sweeps allocate nothing. Each writes its result over `out`, which must not be
// one of its inputs.
class Sweep {
public:
  // The pixels of any rectangles; empty ones add nothing.
  void unite(std::span<const QRect> rects, std::vector<QRect>& out);
  // The pixels in exactly one of two lists made by these functions.
  void exclusive(std::span<const QRect> a, std::span<const QRect> b, std::vector<QRect>& out);
  // The pixels in either of two lists made by these functions.
  void join(std::span<const QRect> a, std::span<const QRect> b, std::vector<QRect>& out);
  // The same pixels and a few more in fewer rectangles: two bands that touch become one, over
  // the columns of either, where the pixels that adds cost less than the rectangles it saves,
  // each costing as much as `rectCost` pixels.
  void coarsen(std::span<const QRect> bands, int rectCost, std::vector<QRect>& out);

private:
  using Span = std::pair<int, int>;  // first and last column
  template <class Combine>
  void sweepBoth(std::span<const QRect> a, std::span<const QRect> b, std::vector<QRect>& out,
                 Combine combine);

  std::vector<QRect> byTop_, over_;
  std::vector<int> edges_, edgesA_, edgesB_, points_;
  std::vector<Span> spans_;
};

// The region of a list made by a sweep.
QRegion regionOf(const std::vector<QRect>& bands);

}  // namespace bands
