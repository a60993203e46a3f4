// SPDX-License-Identifier: MIT
// What a frame shows, and in which order: the visible rectangles, then the pictures, then the
// labels, each in the form's paint order. A front end's painter draws them as they come.
#pragma once

#include <cstddef>

#include "app/frmCavewing.h"
#include "cabinet/View.h"

namespace cabinet {

class Painter {
public:
  virtual ~Painter() = default;
  virtual void rectangle(const form::Shape& shape) = 0;
  virtual void picture(const form::Image& image) = 0;
  virtual void label(const form::Label& label) = 0;
};

void paint(const frmCavewing& form, Painter& painter);
// A hash of everything the form paints: each painted control's place, picture, caption, colours
// and font. A frame whose hash is the last one's paints nothing new. (START and the menus are
// the front end's own widgets, which follow the form on their own.)
std::size_t shownStateHash(const frmCavewing& form);
// The same frame `fraction` of the way along the current step: what moves is painted where the
// view draws it, as a copy of its control.
void paint(const frmCavewing& form, const View& view, double fraction, Painter& painter);

}  // namespace cabinet
