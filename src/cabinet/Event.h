// SPDX-License-Identifier: MIT
// The cabinet speaks the recording's input vocabulary: the events a front end hands it are the
// events a recording keeps.
#pragma once

#include "replay/Event.h"

namespace cabinet {

using replay::Event;

}  // namespace cabinet
