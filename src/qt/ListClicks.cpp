// Hit-testing of the high-score list: a press on a visible rank, name, score or the heading goes
// to that label's click handler; the labels painted last are tested first.
#include "qt/ListClicks.h"

#include <QRectF>

namespace {

bool hits(const form::Label& label, QPointF twips) {
  return label.Visible && QRectF(label.Left, label.Top, label.Width, label.Height).contains(twips);
}

}  // namespace

std::function<void()> listLabelClickAt(frmCavewing& form, const QTransform& twipsToWidget,
                                       QPointF widgetPos) {
  bool invertible = false;
  const QTransform toTwips = twipsToWidget.inverted(&invertible);
  if (!invertible) return {};
  const QPointF at = toTwips.map(widgetPos);
  for (int i = 1; i <= 15; ++i) {
    if (hits(form.lblScores[i], at)) return [&form, i] { form.lblScores_Click(i); };
    if (hits(form.lblNumber[i], at)) return [&form, i] { form.lblNumber_Click(i); };
  }
  if (hits(form.lblTitle, at)) return [&form] { form.lblTitle_Click(); };
  for (int i = 1; i <= 15; ++i)
    if (hits(form.lblName[i], at)) return [&form, i] { form.lblName_Click(i); };
  return {};
}
