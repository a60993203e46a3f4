// SPDX-License-Identifier: MIT
// Delivers one input event to the form's handler for it, as the window would: a command whose
// control the window does not offer at that moment (a disabled menu, a hidden button or label)
// is not delivered, so a recording can never do what a player could not.
#pragma once

#include "replay/Event.h"

class frmCavewing;

namespace cabinet {

void deliver(frmCavewing& form, const replay::Event& event);

}  // namespace cabinet
