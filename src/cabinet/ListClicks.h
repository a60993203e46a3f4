// SPDX-License-Identifier: MIT
// Presses on the high-score list: which visible label of the list lies under a point of the
// playfield, as the click event for the form's handler. Every front end hit-tests the same way.
#pragma once

#include <optional>

#include "app/frmCavewing.h"
#include "replay/Event.h"

namespace cabinet {

// A click on the visible list label under the point (twips); nothing when the press is not on
// the list. The labels painted last are tested first.
std::optional<replay::Event> listLabelClickAt(const frmCavewing& form, float x, float y);

}  // namespace cabinet
