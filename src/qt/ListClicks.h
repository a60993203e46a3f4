// Presses on the high-score list: which visible label of the list lies under a point of the
// playfield, and the form's click handler for it.
#pragma once

#include <QPointF>
#include <QTransform>
#include <functional>

#include "app/frmCavewing.h"

// The click handler of the visible list label under `widgetPos` (playfield pixels, mapped to
// twips through the inverse of `twipsToWidget`); empty when the press is not on the list.
std::function<void()> listLabelClickAt(frmCavewing& form, const QTransform& twipsToWidget,
                                       QPointF widgetPos);
