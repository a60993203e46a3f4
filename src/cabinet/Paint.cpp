// SPDX-License-Identifier: MIT
#include "cabinet/Paint.h"

namespace cabinet {

void paint(const frmCavewing& form, Painter& painter) {
  for (const form::Shape* s : form.paintShapes)
    if (s->Visible) painter.rectangle(*s);
  for (const form::Image* i : form.paintImages)
    if (i->Visible && i->Picture != form::Picture::None) painter.picture(*i);
  for (const form::Label* l : form.paintLabels)
    if (l->Visible) painter.label(*l);
}

}  // namespace cabinet
