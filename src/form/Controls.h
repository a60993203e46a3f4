// SPDX-License-Identifier: MIT
// The controls a form is made of: rectangles, pictures, labels, a push button and menu items,
// with the property names the game's handlers use. Geometry is in twips, single precision,
// because the game compares positions as sums rounded to single precision.
#pragma once

#include <array>
#include <cassert>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace form {

struct Color {
  std::uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Color&, const Color&) = default;
};

constexpr Color RGB(int r, int g, int b) {
  return Color{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
               static_cast<std::uint8_t>(b)};
}

struct Font {
  std::string Name;
  float Size = 8.25f;  // points
  bool Bold = false;
  bool Underline = false;
  bool operator==(const Font&) const = default;
};

enum class Alignment { LeftJustify, RightJustify, Center };

// Pictures are handles: the core only copies them, the front end draws them.
enum class Picture { None, Heli0, Heli1, Heli2, Heli3, Heli4, Explosion };

struct Control {
  float Left = 0, Top = 0, Width = 0, Height = 0;
  bool Visible = true;
};

struct Shape : Control {
  Color FillColor;
  Color BorderColor;
};

struct Image : Control {
  form::Picture Picture = form::Picture::None;
};

struct Label : Control {
  std::string Caption;
  form::Font Font;
  Color ForeColor;
  form::Alignment Alignment = form::Alignment::LeftJustify;
  bool Boxed = false;  // single-line border and opaque white background
};

struct CommandButton : Control {
  std::string Caption;
  form::Font Font;
  Color BackColor;
  bool Enabled = true;
};

struct MenuItem {
  std::string Caption;   // '&' marks the access letter, "-" is a separator line
  std::string Shortcut;  // "Ctrl+N", or empty
  bool Enabled = true;
  std::vector<MenuItem*> Items;   // a menu on the menu bar holds its items here
  std::function<void()> onClick;  // the form's click handler, for a command

  bool IsSeparator() const { return Caption == "-"; }
};

// A control array reached by the game's own indices, First..Last inclusive.
template <class T, int First, int Last>
class ControlArray {
  static_assert(First <= Last);

public:
  static constexpr int first = First;
  static constexpr int last = Last;

  T& operator[](int index) {
    assert(index >= First && index <= Last);
    return items_[static_cast<std::size_t>(index - First)];
  }
  const T& operator[](int index) const {
    assert(index >= First && index <= Last);
    return items_[static_cast<std::size_t>(index - First)];
  }
  auto begin() { return items_.begin(); }
  auto end() { return items_.end(); }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

private:
  std::array<T, Last - First + 1> items_{};
};

}  // namespace form
