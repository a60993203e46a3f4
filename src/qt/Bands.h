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
#include <vector>

namespace bands {

// The pixels of any rectangles; empty ones add nothing.
std::vector<QRect> unite(std::span<const QRect> rects);
// The pixels in exactly one of two lists made by these functions.
std::vector<QRect> exclusive(std::span<const QRect> a, std::span<const QRect> b);
// The pixels in either of two lists made by these functions.
std::vector<QRect> join(std::span<const QRect> a, std::span<const QRect> b);
// The same pixels and a few more in fewer rectangles: two bands that touch become one, over the
// columns of either, where the pixels that adds cost less than the rectangles it saves, each
// costing as much as `rectCost` pixels.
std::vector<QRect> coarsen(std::span<const QRect> bands, int rectCost);
// The region of a list made by `unite` or `exclusive`.
QRegion regionOf(const std::vector<QRect>& bands);

}  // namespace bands
