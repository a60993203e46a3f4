// SPDX-License-Identifier: MIT
// Hit-testing of the high-score list: a press on a visible rank, name, score or the heading is a
// click on that label; the labels painted last are tested first.
#include "qt/ListClicks.h"

#include <QRectF>

#include "cabinet/ControlNames.h"

namespace {

bool hits(const form::Label& label, QPointF twips) {
  return label.Visible && QRectF(label.Left, label.Top, label.Width, label.Height).contains(twips);
}

cabinet::Event click(cabinet::ListLabel label, int index) {
  return cabinet::Event{
      .kind = cabinet::Event::Kind::Label, .code = index, .name = std::string(nameOf(label))};
}

}  // namespace

std::optional<cabinet::Event> listLabelClickAt(const frmCavewing& form,
                                               const QTransform& twipsToWidget, QPointF widgetPos) {
  bool invertible = false;
  const QTransform toTwips = twipsToWidget.inverted(&invertible);
  if (!invertible) return {};
  const QPointF at = toTwips.map(widgetPos);
  using cabinet::ListLabel;
  for (int i = form.lblScores.first; i <= form.lblScores.last; ++i) {
    if (hits(form.lblScores[i], at)) return click(ListLabel::lblScores, i);
    if (hits(form.lblNumber[i], at)) return click(ListLabel::lblNumber, i);
  }
  if (hits(form.lblTitle, at)) return click(ListLabel::lblTitle, 0);
  for (int i = form.lblName.first; i <= form.lblName.last; ++i)
    if (hits(form.lblName[i], at)) return click(ListLabel::lblName, i);
  return std::nullopt;
}
