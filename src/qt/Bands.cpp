// SPDX-License-Identifier: MIT
// The sweep: the rows between two neighbouring edges (a rectangle's top, or the row under its
// bottom) form an elementary band in which every rectangle either covers all rows or none; each
// band's spans are worked out from the rectangles over it and added, or merged into the band
// above when they are the same.
#include "qt/Bands.h"

#include <algorithm>
#include <utility>

namespace bands {

namespace {

using Span = std::pair<int, int>;  // first and last column

// Collects the bands from the top down, merging a band into the one above when they touch and
// have the same spans.
class Builder {
public:
  void band(int top, int bottom, const std::vector<Span>& spans) {
    if (spans.empty()) return;
    if (!rects_.empty() && lastBottom_ + 1 == top && spans == lastSpans_) {
      for (auto r = rects_.begin() + std::ptrdiff_t(lastBand_); r != rects_.end(); ++r)
        r->setBottom(bottom);
    } else {
      lastBand_ = rects_.size();
      for (const auto& [left, right] : spans)
        rects_.emplace_back(QPoint(left, top), QPoint(right, bottom));
      lastSpans_ = spans;
    }
    lastBottom_ = bottom;
  }
  std::vector<QRect> take() { return std::move(rects_); }

private:
  std::vector<QRect> rects_;
  std::size_t lastBand_ = 0;
  int lastBottom_ = 0;
  std::vector<Span> lastSpans_;
};

// Every top and every row under a bottom, in order, each once.
template <class... Lists>
std::vector<int> edgesOf(const Lists&... lists) {
  std::vector<int> edges;
  edges.reserve(((lists.size() * 2) + ...));
  const auto add = [&edges](const auto& list) {
    for (const QRect& r : list) {
      edges.push_back(r.top());
      edges.push_back(r.bottom() + 1);
    }
  };
  (add(lists), ...);
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
  return edges;
}

// The spans of a list of bands at row `y`; `at` walks down the list as `y` grows.
void spansAt(std::span<const QRect> bands, std::size_t& at, int y, std::vector<Span>& spans) {
  spans.clear();
  while (at < bands.size() && bands[at].bottom() < y) ++at;
  if (at == bands.size() || bands[at].top() > y) return;
  const int top = bands[at].top();
  for (std::size_t i = at; i < bands.size() && bands[i].top() == top; ++i)
    spans.emplace_back(bands[i].left(), bands[i].right());
}

}  // namespace

std::vector<QRect> unite(std::span<const QRect> rects) {
  if (rects.size() == 1 && !rects.front().isEmpty()) return {rects.front()};
  std::vector<QRect> byTop;
  byTop.reserve(rects.size());
  for (const QRect& r : rects)
    if (!r.isEmpty()) byTop.push_back(r);
  std::sort(byTop.begin(), byTop.end(),
            [](const QRect& a, const QRect& b) { return a.top() < b.top(); });
  const std::vector<int> edges = edgesOf(byTop);
  // The rectangles over the current band, from the left.
  std::vector<QRect> over;
  std::vector<Span> spans;
  Builder builder;
  std::size_t next = 0;
  for (std::size_t e = 0; e + 1 < edges.size(); ++e) {
    const int top = edges[e], bottom = edges[e + 1] - 1;
    std::erase_if(over, [top](const QRect& r) { return r.bottom() < top; });
    for (; next < byTop.size() && byTop[next].top() == top; ++next) {
      const auto at = std::upper_bound(over.begin(), over.end(), byTop[next].left(),
                                       [](int left, const QRect& r) { return left < r.left(); });
      over.insert(at, byTop[next]);
    }
    spans.clear();
    for (const QRect& r : over) {
      if (!spans.empty() && r.left() <= spans.back().second + 1)
        spans.back().second = std::max(spans.back().second, r.right());
      else
        spans.emplace_back(r.left(), r.right());
    }
    builder.band(top, bottom, spans);
  }
  return builder.take();
}

std::vector<QRect> exclusive(std::span<const QRect> a, std::span<const QRect> b) {
  if (std::ranges::equal(a, b)) return {};  // most of the field stays as it was
  const std::vector<int> edges = edgesOf(a, b);
  std::vector<Span> inA, inB, spans;
  std::vector<int> points;
  Builder builder;
  std::size_t atA = 0, atB = 0;
  for (std::size_t e = 0; e + 1 < edges.size(); ++e) {
    const int top = edges[e], bottom = edges[e + 1] - 1;
    spansAt(a, atA, top, inA);
    spansAt(b, atB, top, inB);
    // Where a column enters or leaves either: a column is in exactly one of them between an odd
    // and the next even one of these points; a point both share changes nothing.
    points.clear();
    std::size_t i = 0, j = 0;
    const auto pointOf = [](const std::vector<Span>& s, std::size_t k) {
      return k % 2 ? s[k / 2].second + 1 : s[k / 2].first;
    };
    while (i < 2 * inA.size() || j < 2 * inB.size()) {
      if (j == 2 * inB.size() || (i < 2 * inA.size() && pointOf(inA, i) < pointOf(inB, j))) {
        points.push_back(pointOf(inA, i++));
      } else if (i == 2 * inA.size() || pointOf(inB, j) < pointOf(inA, i)) {
        points.push_back(pointOf(inB, j++));
      } else {
        ++i;
        ++j;
      }
    }
    spans.clear();
    for (std::size_t k = 0; k + 1 < points.size(); k += 2)
      spans.emplace_back(points[k], points[k + 1] - 1);
    builder.band(top, bottom, spans);
  }
  return builder.take();
}

QRegion regionOf(const std::vector<QRect>& bands) {
  QRegion region;
  if (!bands.empty()) region.setRects(bands.data(), int(bands.size()));
  return region;
}

}  // namespace bands
