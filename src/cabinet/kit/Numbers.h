// SPDX-License-Identifier: MIT
// Every number a front end outside C++ (the page's script) needs, as one JSON object, so that it
// retypes none: twips per pixel, the field's sizes, button codes, shift masks, the phases, the
// menu the page's own menu follows, and the overlays' looks and boxes.
#pragma once

#include <string>

namespace cabinet::kit {

std::string numbersAsJson();

}  // namespace cabinet::kit
