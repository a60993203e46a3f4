// SPDX-License-Identifier: MIT
// A paint device that draws nothing: it counts the painter's work on it, the clips set, the
// rectangles filled and their area, the runs of text and the pictures drawn.
#pragma once

#include <QPaintDevice>
#include <QPaintEngine>

struct Counting : QPaintDevice, QPaintEngine {
  Counting() : QPaintEngine(AllFeatures) {}
  QPaintEngine* paintEngine() const override { return const_cast<Counting*>(this); }
  int metric(PaintDeviceMetric m) const override {
    if (m == PdmDevicePixelRatioScaled) return int(devicePixelRatioFScale());
    return m == PdmDepth ? 32 : m == PdmDevicePixelRatio ? 1 : 300;
  }
  bool begin(QPaintDevice*) override { return true; }
  bool end() override { return true; }
  void updateState(const QPaintEngineState& s) override {
    clips += (s.state() & (DirtyClipPath | DirtyClipRegion)) != 0;
  }
  void drawRects(const QRectF* r, int count) override {
    rects += count;
    for (int i = 0; i < count; ++i) area += r[i].width() * r[i].height();
  }
  void drawTextItem(const QPointF&, const QTextItem&) override { ++texts; }
  void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override { ++pictures; }
  Type type() const override { return User; }
  int clips = 0, rects = 0, texts = 0, pictures = 0;
  double area = 0;  // in the painter's own units
};
