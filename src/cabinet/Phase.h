// SPDX-License-Identifier: MIT
// The game's phase as the cabinet and the front ends name it: the rules' own reading of their
// flags.
#pragma once

#include "app/Phase.h"

namespace cabinet {

using ::nameOf;
using ::Phase;
using ::phaseOf;

}  // namespace cabinet
