// SPDX-License-Identifier: MIT
// The sweep: the rows between two neighbouring edges (a rectangle's top, or the row under its
// bottom) form an elementary band in which every rectangle either covers all rows or none; each
// band's spans are worked out from the rectangles over it and added, or merged into the band
// above when they are the same.
#include "qt/frames/Bands.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <utility>

namespace bands {

namespace {

using Span = std::pair<int, int>;  // first and last column, as Sweep's

// Collects the bands from the top down, merging a band into the one above when they touch and
// have the same spans.
class Builder {
public:
  explicit Builder(std::vector<QRect>& out) : rects_(out) { rects_.clear(); }
  void band(int top, int bottom, const std::vector<Span>& spans) {
    if (!rects_.empty() && lastBottom_ + 1 == top && sameAsLast(spans)) {
      for (auto r = rects_.begin() + std::ptrdiff_t(lastBand_); r != rects_.end(); ++r)
        r->setBottom(bottom);
    } else {
      lastBand_ = rects_.size();
      for (const auto& [left, right] : spans)
        rects_.emplace_back(QPoint(left, top), QPoint(right, bottom));
    }
    lastBottom_ = bottom;
  }

private:
  bool sameAsLast(const std::vector<Span>& spans) const {
    if (rects_.size() - lastBand_ != spans.size()) return false;
    for (std::size_t i = 0; i < spans.size(); ++i) {
      const QRect& r = rects_[lastBand_ + i];
      if (r.left() != spans[i].first || r.right() != spans[i].second) return false;
    }
    return true;
  }

  std::vector<QRect>& rects_;
  std::size_t lastBand_{};  // both set by the first band
  int lastBottom_{};
};

// Every top and every row under a bottom, in order, each once.
void edgesOf(std::span<const QRect> rects, std::vector<int>& edges) {
  edges.clear();
  for (const QRect& r : rects) {
    edges.push_back(r.top());
    edges.push_back(r.bottom() + 1);
  }
  std::sort(edges.begin(), edges.end());
  edges.erase(std::unique(edges.begin(), edges.end()), edges.end());
}

// Each band between an edge and the next, as its top and bottom row.
template <class Band>
void betweenEdges(const std::vector<int>& edges, Band band) {
  std::optional<int> top;
  for (const int edge : edges) {
    if (top) band(*top, edge - 1);
    top = edge;
  }
}

// The band of a list of bands over row `y`, empty where there is none; `at` walks down the list
// as `y` grows.
std::span<const QRect> bandAt(std::span<const QRect> bands, std::size_t& at, int y) {
  while (at < bands.size() && bands[at].bottom() < y) ++at;
  if (at == bands.size() || bands[at].top() > y) return {};
  std::size_t end = at + 1;
  while (end < bands.size() && bands[end].top() == bands[at].top()) ++end;
  return bands.subspan(at, end - at);
}

}  // namespace

void Sweep::unite(std::span<const QRect> rects, std::vector<QRect>& out) {
  if (rects.size() == 1 && !rects.front().isEmpty()) {
    out.assign(1, rects.front());
    return;
  }
  Builder builder(out);
  byTop_.clear();
  for (const QRect& r : rects)
    if (!r.isEmpty()) byTop_.push_back(r);
  std::sort(byTop_.begin(), byTop_.end(),
            [](const QRect& a, const QRect& b) { return a.top() < b.top(); });
  edgesOf(byTop_, edges_);
  // The rectangles over the current band, from the left.
  over_.clear();
  std::size_t next = 0;
  betweenEdges(edges_, [&](int top, int bottom) {
    std::erase_if(over_, [top](const QRect& r) { return r.bottom() < top; });
    for (; next < byTop_.size() && byTop_[next].top() == top; ++next) {
      over_.insert(std::ranges::upper_bound(over_, byTop_[next].left(), {}, &QRect::left),
                   byTop_[next]);
    }
    spans_.clear();
    for (const QRect& r : over_) {
      if (!spans_.empty() && r.left() <= spans_.back().second + 1)
        spans_.back().second = std::max(spans_.back().second, r.right());
      else
        spans_.emplace_back(r.left(), r.right());
    }
    builder.band(top, bottom, spans_);
  });
}

namespace {

// The edges of a list of bands, in order: every band's top and the row under it.
void edgesOfBands(std::span<const QRect> bands, std::vector<int>& edges) {
  edges.clear();
  for (std::size_t i = 0; i < bands.size(); ++i)
    if (i == 0 || bands[i].top() != bands[i - 1].top()) {
      edges.push_back(bands[i].top());
      edges.push_back(bands[i].bottom() + 1);
    }
}

// Where a column enters or leaves either: a column is in exactly one of them between an odd and
// the next even one of these points; a point both share changes nothing.
void exclusiveSpans(std::span<const QRect> a, std::span<const QRect> b, std::vector<int>& points,
                    std::vector<Span>& spans) {
  points.clear();
  const auto pointOf = [](std::span<const QRect> s, std::size_t k) {
    return k % 2 ? s[k / 2].right() + 1 : s[k / 2].left();
  };
  const std::size_t endA = 2 * a.size(), endB = 2 * b.size();
  std::size_t i = 0, j = 0;
  while (i < endA && j < endB) {
    const int p = pointOf(a, i), q = pointOf(b, j);
    if (p < q) {
      points.push_back(p);
      ++i;
    } else if (q < p) {
      points.push_back(q);
      ++j;
    } else {
      ++i;
      ++j;
    }
  }
  for (; i < endA; ++i) points.push_back(pointOf(a, i));
  for (; j < endB; ++j) points.push_back(pointOf(b, j));
  spans.clear();
  for (std::size_t k = 0; k + 1 < points.size(); k += 2)
    spans.emplace_back(points[k], points[k + 1] - 1);
}

// The columns in either, from the left, those that overlap or touch joined.
void joinedSpans(std::span<const QRect> a, std::span<const QRect> b, std::vector<Span>& spans) {
  spans.clear();
  std::size_t i = 0, j = 0;
  while (i < a.size() || j < b.size()) {
    const QRect& r = j == b.size() || (i < a.size() && a[i].left() < b[j].left()) ? a[i++] : b[j++];
    if (!spans.empty() && r.left() <= spans.back().second + 1)
      spans.back().second = std::max(spans.back().second, r.right());
    else
      spans.emplace_back(r.left(), r.right());
  }
}

}  // namespace

// Two lists of bands, band by band: `combine` makes a band's spans from those of both.
template <class Combine>
void Sweep::sweepBoth(std::span<const QRect> a, std::span<const QRect> b, std::vector<QRect>& out,
                      Combine combine) {
  Builder builder(out);
  edgesOfBands(a, edgesA_);
  edgesOfBands(b, edgesB_);
  edges_.clear();
  std::merge(edgesA_.begin(), edgesA_.end(), edgesB_.begin(), edgesB_.end(),
             std::back_inserter(edges_));
  edges_.erase(std::unique(edges_.begin(), edges_.end()), edges_.end());
  std::size_t atA = 0, atB = 0;
  betweenEdges(edges_, [&](int top, int bottom) {
    combine(bandAt(a, atA, top), bandAt(b, atB, top));
    builder.band(top, bottom, spans_);
  });
}

void Sweep::exclusive(std::span<const QRect> a, std::span<const QRect> b, std::vector<QRect>& out) {
  if (std::ranges::equal(a, b)) {  // most of the field stays as it was
    out.clear();
    return;
  }
  sweepBoth(a, b, out, [this](const auto& inA, const auto& inB) {
    exclusiveSpans(inA, inB, points_, spans_);
  });
}

void Sweep::join(std::span<const QRect> a, std::span<const QRect> b, std::vector<QRect>& out) {
  if (a.empty() || b.empty()) {
    out.assign(a.empty() ? b.begin() : a.begin(), a.empty() ? b.end() : a.end());
    return;
  }
  sweepBoth(a, b, out, [this](const auto& inA, const auto& inB) { joinedSpans(inA, inB, spans_); });
}

void Sweep::coarsen(std::span<const QRect> bands, int rectCost, std::vector<QRect>& out) {
  out.clear();
  std::vector<Span>& spans = spans_;
  const auto columnsOf = [](std::span<const QRect> band) {
    long sum = 0;
    for (const QRect& r : band) sum += r.width();
    return sum;
  };
  const auto columnsOfSpans = [&spans] {
    long sum = 0;
    for (const auto& [left, right] : spans) sum += right - left + 1;
    return sum;
  };
  std::size_t lastBand{};  // set by the first band
  for (std::size_t at = 0, end = 0; at < bands.size(); at = end) {
    for (end = at + 1; end < bands.size() && bands[end].top() == bands[at].top();) ++end;
    const std::span<const QRect> next = bands.subspan(at, end - at);
    if (!out.empty() && out.back().bottom() + 1 == next.front().top()) {
      const std::span<const QRect> last = std::span<const QRect>(out).subspan(lastBand);
      joinedSpans(last, next, spans);
      const long apart = columnsOf(last) * last.front().height() +
                         columnsOf(next) * next.front().height() +
                         long(rectCost) * long(last.size() + next.size());
      const long together = columnsOfSpans() * (next.front().bottom() - last.front().top() + 1) +
                            long(rectCost) * long(spans.size());
      if (together < apart) {
        const int top = last.front().top(), bottom = next.front().bottom();
        out.resize(lastBand);
        for (const auto& [left, right] : spans)
          out.emplace_back(QPoint(left, top), QPoint(right, bottom));
        continue;
      }
    }
    lastBand = out.size();
    out.insert(out.end(), next.begin(), next.end());
  }
}

QRegion regionOf(const std::vector<QRect>& bands) {
  QRegion region;
  if (!bands.empty()) region.setRects(bands.data(), int(bands.size()));
  return region;
}

}  // namespace bands
