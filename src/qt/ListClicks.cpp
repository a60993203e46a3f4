// SPDX-License-Identifier: MIT
// Hit-testing of the high-score list, from the playfield's pixels: the cabinet's, in twips.
#include "qt/ListClicks.h"

#include "cabinet/ListClicks.h"

std::optional<cabinet::Event> listLabelClickAt(const frmCavewing& form,
                                               const QTransform& twipsToWidget, QPointF widgetPos) {
  bool invertible = false;
  const QTransform toTwips = twipsToWidget.inverted(&invertible);
  if (!invertible) return {};
  const QPointF at = toTwips.map(widgetPos);
  return cabinet::listLabelClickAt(form, float(at.x()), float(at.y()));
}
