// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "cabinet/ListClicks.h"
#include "qt/GameWindow.h"

namespace {

struct ListWindow {
  QTemporaryDir folder;
  std::unique_ptr<GameWindow> window;

  ListWindow() {
    CommandLine options;
    options.scoresFile = folder.filePath("Cavewing.txt").toStdString();
    window = std::make_unique<GameWindow>(options);
    window->show();
    window->resize(1400, 1000);  // scaled and centred: the press maps back through the scaling
  }
  const frmCavewing& form() const { return window->form(); }
  // Where a press at the middle of `label` lands in the playfield, in its pixels.
  QPointF middleOf(const form::Label& label) {
    return window->playfield()->twipsToWidget().map(
        QPointF(label.Left + label.Width / 2, label.Top + label.Height / 2));
  }
  // The click a press at a point of the playfield makes, mapped back to twips as the window does.
  std::optional<replay::Event> clickAt(QPointF at) {
    const QPointF twips = window->playfield()->twipsToWidget().inverted().map(at);
    return cabinet::listLabelClickAt(form(), float(twips.x()), float(twips.y()));
  }
};

TEST(ListClicks, PressOnEachKindOfLabelGoesToItsHandler) {
  ListWindow w;
  const frmCavewing& f = w.form();
  const struct {
    const form::Label* label;
    const char* name;
    int index;
  } cases[] = {{&f.lblName[3], "lblName", 3},
               {&f.lblNumber[15], "lblNumber", 15},
               {&f.lblScores[1], "lblScores", 1},
               {&f.lblTitle, "lblTitle", 0}};
  for (const auto& c : cases) {
    w.window->deliver(replay::Event{.kind = replay::Event::Kind::Menu, .name = "mnuScores"});
    ASSERT_TRUE(f.lblTitle.Visible);
    const auto click = w.clickAt(w.middleOf(*c.label));
    ASSERT_TRUE(click) << c.name;
    EXPECT_EQ(click->name, c.name);
    EXPECT_EQ(click->code, c.index);
    w.window->deliver(*click);
    EXPECT_FALSE(f.lblTitle.Visible);  // not after a crash: the click hides the list
    EXPECT_TRUE(f.cmdStart.Visible);
  }
}

TEST(ListClicks, PressesOffTheListOrOnAHiddenListGoElsewhere) {
  ListWindow w;
  const frmCavewing& f = w.form();
  const QPointF onName = w.middleOf(f.lblName[3]);
  EXPECT_FALSE(w.clickAt(onName));  // the list is hidden
  w.window->deliver(replay::Event{.kind = replay::Event::Kind::Menu, .name = "mnuScores"});
  EXPECT_TRUE(w.clickAt(onName));
  const auto toWidget = w.window->playfield()->twipsToWidget();
  // Between a rank and its name, above the heading, and on the score counter.
  const float gap = (f.lblNumber[3].Left + f.lblNumber[3].Width + f.lblName[3].Left) / 2;
  EXPECT_FALSE(w.clickAt(toWidget.map(QPointF(gap, f.lblName[3].Top + 100))));
  EXPECT_FALSE(w.clickAt(toWidget.map(QPointF(f.lblTitle.Left + 100, f.lblTitle.Top - 100))));
  EXPECT_FALSE(w.clickAt(w.middleOf(f.lblScore)));
}

}  // namespace
