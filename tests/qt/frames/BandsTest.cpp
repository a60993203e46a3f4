// SPDX-License-Identifier: MIT
// The playfield's damage, swept in bands, is exactly the region QRegion would build: the same
// pixels in the same rectangles, for rectangles that overlap, touch, nest, stand side by side in
// a cave's skyline, or are empty.
#include <gtest/gtest.h>

#include <QRegion>
#include <random>
#include <span>
#include <vector>

#include "qt/frames/Bands.h"

namespace {

QRegion unitedOneByOne(const std::vector<QRect>& rects) {
  QRegion region;
  for (const QRect& r : rects) region += r;
  return region;
}

std::vector<QRect> rectsOf(const QRegion& region) { return {region.begin(), region.end()}; }

// A cave's two skylines: blocks side by side hanging from the top and standing on the bottom,
// moved `shift` columns left, and a block alone in the middle.
std::vector<QRect> cave(std::mt19937& random, int shift) {
  std::vector<QRect> blocks;
  std::uniform_int_distribution<int> height(20, 120);
  for (int i = 0; i < 20; ++i) {
    blocks.emplace_back(i * 80 - shift, 0, 80, height(random));
    blocks.emplace_back(i * 80 - shift, 600 - height(random), 80, 200);
  }
  blocks.emplace_back(500 - shift, 300, 80, 90);
  return blocks;
}

// One sweep and one list for the answers, as the playfield keeps them: what a call leaves in its
// working lists must not reach the next.
class Bands : public ::testing::Test {
protected:
  std::vector<QRect> unite(std::span<const QRect> rects) {
    sweep_.unite(rects, out_);
    return out_;
  }
  std::vector<QRect> exclusive(std::span<const QRect> a, std::span<const QRect> b) {
    sweep_.exclusive(a, b, out_);
    return out_;
  }
  std::vector<QRect> join(std::span<const QRect> a, std::span<const QRect> b) {
    sweep_.join(a, b, out_);
    return out_;
  }
  std::vector<QRect> coarsen(std::span<const QRect> bands, int rectCost) {
    sweep_.coarsen(bands, rectCost, out_);
    return out_;
  }

private:
  bands::Sweep sweep_;
  std::vector<QRect> out_;  // and one list for every answer, as the playfield keeps its lists
};

// Keeps out: a damage (the pixels that left or joined the rectangles of each colour, and the
// pictures and labels that changed) that misses pixels that changed, paints ones that did not, or
// splits them into other rectangles than QRegion's (the flush sends one request a rectangle).
TEST_F(Bands, AreTheRegionsQRegionBuilds) {
  std::mt19937 random(7);
  std::uniform_int_distribution<int> at(-20, 120), size(-2, 60);
  std::vector<std::vector<QRect>> cases = {
      {},
      {QRect(3, 4, 0, 5)},
      {QRect(0, 0, 10, 10), QRect(10, 0, 10, 10)},  // side by side: one rectangle
      {QRect(0, 0, 10, 10), QRect(0, 10, 10, 10)},  // one over the other: one too
      {QRect(0, 0, 30, 30), QRect(10, 10, 5, 5)},   // one inside another
      {QRect(0, 0, 10, 20), QRect(20, 5, 10, 20), QRect(5, 15, 20, 2)},
  };
  for (int n = 0; n < 300; ++n) {
    std::vector<QRect> rects(std::size_t(1 + n % 12));
    for (QRect& r : rects) r = QRect(at(random), at(random), size(random), size(random));
    cases.push_back(rects);
  }
  for (int shift = 0; shift < 16; shift += 3) cases.push_back(cave(random, shift));

  for (std::size_t i = 0; i < cases.size(); ++i) {
    const QRegion expected = unitedOneByOne(cases[i]);
    const std::vector<QRect> united = unite(cases[i]);
    ASSERT_EQ(united, rectsOf(expected)) << "case " << i;
    EXPECT_EQ(bands::regionOf(united), expected) << "case " << i;
    // Against the next case: the pixels in exactly one of the two.
    const std::vector<QRect>& other = cases[(i + 1) % cases.size()];
    const QRegion expectedXor = expected.xored(unitedOneByOne(other));
    ASSERT_EQ(exclusive(united, unite(other)), rectsOf(expectedXor)) << "case " << i;
    const QRegion expectedBoth = expected.united(unitedOneByOne(other));
    ASSERT_EQ(join(united, unite(other)), rectsOf(expectedBoth)) << "case " << i;
  }
  // A cave moved on by a step: only the columns where its skylines moved.
  std::mt19937 same(1), again(1);
  const std::vector<QRect> before = unite(cave(same, 0));
  const std::vector<QRect> after = unite(cave(again, 8));
  const std::vector<QRect> moved = exclusive(before, after);
  EXPECT_EQ(moved, rectsOf(bands::regionOf(before).xored(bands::regionOf(after))));
  EXPECT_TRUE(exclusive(after, after).empty());
}

// Keeps out: a coarser damage that leaves out a pixel that changed, breaks QRegion's banding (the
// flush and the painter's clip walk it as such), or costs more than it saves.
TEST_F(Bands, CoarsenedKeepEveryPixelInFewerRectangles) {
  constexpr int RectCost = 64;
  const auto area = [](const std::vector<QRect>& rects) {
    long sum = 0;
    for (const QRect& r : rects) sum += long(r.width()) * r.height();
    return sum;
  };
  for (int shift = 1; shift < 16; shift += 2) {
    std::mt19937 same(shift), again(shift);
    const std::vector<QRect> moved = exclusive(unite(cave(same, 0)), unite(cave(again, shift)));
    const std::vector<QRect> coarse = coarsen(moved, RectCost);
    const QRegion region = bands::regionOf(coarse);
    EXPECT_TRUE(bands::regionOf(moved).subtracted(region).isEmpty()) << "shift " << shift;
    EXPECT_EQ(coarse, rectsOf(unitedOneByOne(coarse))) << "shift " << shift;
    EXPECT_LE(area(coarse) + RectCost * long(coarse.size()),
              area(moved) + RectCost * long(moved.size()))
        << "shift " << shift;
  }
  // Two steps of a skyline a row apart: the row under the shorter one joins the band above.
  const std::vector<QRect> steps = unite(std::vector{QRect(0, 0, 9, 15), QRect(80, 0, 9, 16)});
  ASSERT_EQ(steps.size(), 3u);
  EXPECT_EQ(coarsen(steps, RectCost), (std::vector{QRect(0, 0, 9, 16), QRect(80, 0, 9, 16)}));
}

}  // namespace
