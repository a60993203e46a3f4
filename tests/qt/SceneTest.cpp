// SPDX-License-Identifier: MIT
// The playfield repaints what changed and nothing else: a control whose colour, box or font alone
// changes is seen to change, not left painted as it was.
#include <gtest/gtest.h>

#include <QTest>

#include "../core/FakeHost.h"
#include "qt/Playfield.h"

namespace {

// Keeps out: a change of a border colour, a text colour, a box or a font alone not repainted.
TEST(Playfield, SeesEveryChangeOfWhatAControlIsPaintedWith) {
  Game game;
  frmCavewing& form = game.form;
  Playfield field(form, frmCavewing::ScaleWidth);
  field.resize(field.sizeHint());
  field.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&field));
  field.syncWithForm();
  ASSERT_FALSE(field.syncWithForm()) << "nothing changed";
  form::Shape& wall = form.shptunnel[3];
  form::Label& score = form.lblScore;
  ASSERT_TRUE(wall.Visible && score.Visible);
  const std::pair<const char*, std::function<void()>> changes[] = {
      {"a wall's border colour", [&] { wall.BorderColor = form::RGB(1, 2, 3); }},
      {"the score's text colour", [&] { score.ForeColor = form::RGB(200, 0, 0); }},
      {"the score's box", [&] { score.Boxed = !score.Boxed; }},
      {"the score's font face",
       [&] { score.Font.Name = score.Font.Name == "Arial" ? "Verdana" : "Arial"; }},
      {"the score's font size", [&] { score.Font.Size += 2; }},
      {"the score in bold", [&] { score.Font.Bold = !score.Font.Bold; }},
      {"the score underlined", [&] { score.Font.Underline = true; }},
      {"the score's alignment", [&] { score.Alignment = form::Alignment::RightJustify; }},
  };
  for (const auto& [what, change] : changes) {
    change();
    EXPECT_TRUE(field.syncWithForm()) << what << " was not repainted";
  }
}

}  // namespace
