// The playfield: paints every visible control of the form on black, scaled to fit the widget and
// centred, and holds the real START button. It holds no game rule: it only shows the form.
#pragma once

#include <QPushButton>
#include <QTransform>
#include <QWidget>
#include <map>
#include <optional>
#include <tuple>

#include "app/frmCavewing.h"

class QPainter;

class Playfield : public QWidget {
  Q_OBJECT
public:
  Playfield(frmCavewing& form, float fieldWidthTwips, QWidget* parent = nullptr);

  QSize sizeHint() const override;
  QPushButton* startButton() const { return start_; }
  // Twips to widget pixels and back, for painting and for mapping the mouse.
  QTransform twipsToWidget() const;
  // A replay shows a badge, and where the recorded player holds a button down (twips).
  void showReplayBadge(bool on);
  void showReplayPress(std::optional<QPointF> at);
  // Brings the START button and the repaint in step with the form; cheap when nothing changed.
  // Returns whether anything visible changed.
  bool syncWithForm();

protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;

private:
  const QFont& fontFor(const form::Font& font);
  void paintReplay(QPainter& p);
  void placeStartButton();
  std::size_t visibleStateHash() const;

  frmCavewing& form_;
  float fieldWidth_;
  QPushButton* start_;
  std::size_t lastHash_ = 0;
  QRectF placedButton_;
  bool paintedOnce_ = false;
  bool replayBadge_ = false;
  std::optional<QPointF> replayPress_;
  std::map<std::tuple<std::string, float, bool, bool>, QFont> fonts_;
};
