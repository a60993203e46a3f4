// SPDX-License-Identifier: MIT
#include "cabinet/Paint.h"

namespace cabinet {

namespace {

// Paints every visible control in the form's order, each where `placed` says.
template <class Placed>
void paintPlaced(const frmCavewing& form, Painter& painter, Placed placed) {
  for (const form::Shape* s : form.paintShapes)
    if (s->Visible) painter.rectangle(placed(*s));
  for (const form::Image* i : form.paintImages)
    if (i->Visible && i->Picture != form::Picture::None) painter.picture(placed(*i));
  for (const form::Label* l : form.paintLabels)
    if (l->Visible) painter.label(*l);
}

}  // namespace

void paint(const frmCavewing& form, Painter& painter) {
  paintPlaced(
      form, painter, [](const auto& control) -> const auto& { return control; });
}

void paint(const frmCavewing& form, const View& view, double fraction, Painter& painter) {
  paintPlaced(form, painter, [&](const auto& control) {
    auto drawn = control;
    const View::Position at = view.position(control, fraction);
    drawn.Left = at.Left;
    drawn.Top = at.Top;
    return drawn;
  });
}

}  // namespace cabinet
