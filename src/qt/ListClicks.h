// SPDX-License-Identifier: MIT
// Presses on the high-score list: which visible label of the list lies under a point of the
// playfield, and the form's click handler for it.
#pragma once

#include <QPointF>
#include <QTransform>
#include <optional>

#include "app/frmCavewing.h"
#include "cabinet/Event.h"

// A click on the visible list label under `widgetPos` (playfield pixels, mapped to twips through
// the inverse of `twipsToWidget`); nothing when the press is not on the list.
std::optional<cabinet::Event> listLabelClickAt(const frmCavewing& form,
                                               const QTransform& twipsToWidget, QPointF widgetPos);
