// SPDX-License-Identifier: MIT
// The display's beat: asks for frames while the picture may change, and hands each its time on
// the display's grid of frames. Where the platform follows the display's frame callbacks
// (Wayland), a frame comes on the window's update request (QWindow::requestUpdate); where it
// has none (X11, whose update requests are a plain timer), at the screen's refresh rate as Qt
// reports it. Either way the frames' times are a steady 1/rate apart, whenever the event loop
// gets to them: the picture then moves by the same distance from frame to frame.
#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>

class FramePacer : public QObject {
  Q_OBJECT
public:
  // Paints the frame for the display at `realUs`; returns whether to go on with the next one.
  using Frame = std::function<bool(std::int64_t realUs)>;
  using RealTime = std::function<std::int64_t()>;  // microseconds, the front end's own clock

  // `onUpdateRequests`: frames on the window's update requests, as where the platform follows
  // the display's frame callbacks; else at the screen's refresh rate.
  FramePacer(QWidget& window, RealTime realUs, Frame frame,
             bool onUpdateRequests = platformHasFrameCallbacks());
  // The beat of a screen that reports `rate` frames a second.
  static std::int64_t periodFor(qreal rate);
  // The picture may have changed: frames run again, from the next beat on.
  void request();
  bool running() const { return running_; }
  std::int64_t periodUs() const { return periodUs_; }

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  static bool platformHasFrameCallbacks();
  void refreshRateFromScreen();
  void scheduleNext();
  void beat();

  QWidget& window_;
  RealTime realUs_;
  Frame frame_;
  QTimer timer_;
  QPointer<QWindow> watched_;
  bool running_ = false;
  bool callbacks_;
  std::int64_t periodUs_ = 1'000'000 / 60;
  std::int64_t originUs_ = 0;
  std::int64_t lastBeat_ = -1;
};
