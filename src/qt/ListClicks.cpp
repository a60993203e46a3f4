// Hit-testing of the high-score list: a press on a visible rank, name, score or the heading is a
// click on that label; the labels painted last are tested first.
#include "qt/ListClicks.h"

#include <QRectF>

namespace {

bool hits(const form::Label& label, QPointF twips) {
  return label.Visible && QRectF(label.Left, label.Top, label.Width, label.Height).contains(twips);
}

replay::Event click(std::string label, int index) {
  return replay::Event{.kind = replay::Event::Kind::Label, .code = index, .name = std::move(label)};
}

}  // namespace

std::optional<replay::Event> listLabelClickAt(const frmCavewing& form,
                                              const QTransform& twipsToWidget, QPointF widgetPos) {
  bool invertible = false;
  const QTransform toTwips = twipsToWidget.inverted(&invertible);
  if (!invertible) return {};
  const QPointF at = toTwips.map(widgetPos);
  for (int i = 1; i <= 15; ++i) {
    if (hits(form.lblScores[i], at)) return click("lblScores", i);
    if (hits(form.lblNumber[i], at)) return click("lblNumber", i);
  }
  if (hits(form.lblTitle, at)) return click("lblTitle", 0);
  for (int i = 1; i <= 15; ++i)
    if (hits(form.lblName[i], at)) return click("lblName", i);
  return std::nullopt;
}
