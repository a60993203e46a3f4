// SPDX-License-Identifier: MIT
// Frames on the display's beat, asked for only while the picture may change.
#include "qt/FramePacer.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <algorithm>

FramePacer::FramePacer(QWidget& window, RealTime realUs, Frame frame, bool onUpdateRequests)
    : QObject(&window),
      window_(window),
      realUs_(std::move(realUs)),
      frame_(std::move(frame)),
      callbacks_(onUpdateRequests) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &FramePacer::beat);
  originUs_ = realUs_();
}

bool FramePacer::platformHasFrameCallbacks() {
  return QGuiApplication::platformName().startsWith("wayland");
}

std::int64_t FramePacer::periodFor(qreal rate) {
  // A screen that reports nothing sensible is taken for the usual 60 Hz.
  return std::int64_t(1e6 / (rate >= 20 && rate <= 1000 ? rate : 60));
}

void FramePacer::refreshRateFromScreen() {
  const QScreen* screen = window_.screen();
  periodUs_ = periodFor(screen ? screen->refreshRate() : 0);
}

void FramePacer::request() {
  if (running_) return;
  running_ = true;
  refreshRateFromScreen();
  scheduleNext();
}

void FramePacer::scheduleNext() {
  QWindow* window = window_.windowHandle();
  if (callbacks_ && window) {
    if (watched_ != window) {
      watched_ = window;
      window->installEventFilter(this);
    }
    window->requestUpdate();
    return;
  }
  // The next beat on the grid, never early: a frame then never shows the same time twice.
  const std::int64_t next = originUs_ + (lastBeat_ + 1) * periodUs_;
  const std::int64_t waitUs = std::max<std::int64_t>(0, next - realUs_());
  timer_.start(int((waitUs + 999) / 1000));
}

bool FramePacer::eventFilter(QObject* watched, QEvent* event) {
  // Only the update requests asked for here: the widgets' own are theirs.
  if (watched != watched_ || event->type() != QEvent::UpdateRequest || !running_)
    return QObject::eventFilter(watched, event);
  beat();
  return true;
}

void FramePacer::beat() {
  // The frame's time is its beat's: the next one after the last frame's, or a later one when
  // frames were missed.
  const std::int64_t now = realUs_();
  lastBeat_ = std::max(lastBeat_ + 1, (now - originUs_) / periodUs_);
  running_ = frame_(originUs_ + lastBeat_ * periodUs_);
  if (running_) scheduleNext();
}
