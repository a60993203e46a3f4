// SPDX-License-Identifier: MIT
// A frame's visible controls in the form's paint order.
#include "cabinet/Paint.h"

#include <functional>
#include <string>

namespace cabinet {

namespace {

template <class T>
void mix(std::size_t& h, const T& value) {
  h ^= std::hash<T>{}(value) + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2);
}

void mixColor(std::size_t& h, form::Color c) { mix(h, (c.r << 16) | (c.g << 8) | c.b); }

void mixControl(std::size_t& h, const form::Control& c) {
  mix(h, c.Visible);
  if (!c.Visible) return;
  mix(h, c.Left);
  mix(h, c.Top);
  mix(h, c.Width);
  mix(h, c.Height);
}

void mixFont(std::size_t& h, const form::Font& f) {
  mix(h, f.Name);
  mix(h, f.Size);
  mix(h, f.Bold);
  mix(h, f.Underline);
}

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

std::size_t shownStateHash(const frmCavewing& form) {
  std::size_t h = 0;
  for (const form::Shape* s : form.paintShapes) {
    mixControl(h, *s);
    if (!s->Visible) continue;
    mixColor(h, s->FillColor);
    mixColor(h, s->BorderColor);
  }
  for (const form::Image* i : form.paintImages) {
    mixControl(h, *i);
    if (i->Visible) mix(h, int(i->Picture));
  }
  for (const form::Label* l : form.paintLabels) {
    mixControl(h, *l);
    if (!l->Visible) continue;
    mix(h, l->Caption);
    mixColor(h, l->ForeColor);
    mix(h, l->Boxed);
    mix(h, int(l->Alignment));
    mixFont(h, l->Font);
  }
  return h;
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
