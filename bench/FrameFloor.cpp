// SPDX-License-Identifier: MIT
// The floor under the game's CPU in flight: a window of the playfield's size that does nothing
// but repaint one strip of 8 by 40 pixels at every grid point of the game's 64 Hz clock, less
// than any frame of flight changes. `scripts/measure` reads what this window and its X server
// cost; no way of drawing the game with Qt's widgets costs less on the same machine.
#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QTimer>
#include <QWidget>

namespace {

constexpr qint64 GridPointUs = 15625;

class Strip : public QWidget {
public:
  Strip() {
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(1016, 722);
    timer_.setSingleShot(true);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] {
      ++frames_;
      update(QRect(500, 340, 8, 40));
      scheduleNext();
    });
    clock_.start();
    scheduleNext();
  }

protected:
  void paintEvent(QPaintEvent*) override {
    QPainter(this).fillRect(rect(), frames_ % 2 ? Qt::green : Qt::black);
  }

private:
  void scheduleNext() {
    const qint64 nowUs = clock_.nsecsElapsed() / 1000;
    const qint64 nextUs = (nowUs / GridPointUs + 1) * GridPointUs;
    timer_.start(int((nextUs - nowUs + 999) / 1000));
  }

  QTimer timer_;
  QElapsedTimer clock_;
  long frames_ = 0;
};

}  // namespace

int main(int argc, char* argv[]) {
  // The game's own choices of event loop and of the way its pixels reach the X server.
  qputenv("QT_NO_GLIB", "1");
  qputenv("QT_XCB_NO_MITSHM", "1");
  QApplication app(argc, argv);
  Strip strip;
  strip.show();
  return app.exec();
}
