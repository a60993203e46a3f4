// SPDX-License-Identifier: MIT
// The game window as created, after start-up, after START and after New Game.
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "FakeHost.h"

namespace {

void expectReadyPhase(const frmCavewing& f) {
  EXPECT_FALSE(f.gameRunning);
  EXPECT_TRUE(f.halted);
  EXPECT_FALSE(f.gameOver);
  EXPECT_FALSE(f.crashed);
  EXPECT_TRUE(f.cmdStart.Visible);
  EXPECT_FALSE(f.imgCopter.Visible);
  EXPECT_TRUE(f.mnuFile.Enabled && f.mnuHelp.Enabled && f.mnuScores.Enabled);
}

void expectStartValues(const frmCavewing& f) {
  EXPECT_EQ(f.score, 0);
  EXPECT_EQ(f.rotorFrame, 0);
  EXPECT_EQ(f.climbSpeed, 0);
  EXPECT_EQ(f.climbAccel, 20);
  EXPECT_EQ(f.highScoreCount, 15);
  EXPECT_EQ(f.pausesLeft, 6);
  EXPECT_EQ(f.gapHeight, 6900);
  EXPECT_FALSE(f.crashArmed);
  EXPECT_EQ(f.shpTunnelM.Height, 2400);
  EXPECT_EQ(f.lblScore.Caption, "0");
}

void expectFlatCave(const frmCavewing& f) {
  for (int i = 0; i < frmCavewing::Columns; ++i) EXPECT_EQ(f.shptunnel[i].Top, -6000) << i;
  for (int i = frmCavewing::FirstFloorBlock; i <= frmCavewing::LastFloorBlock; ++i)
    EXPECT_EQ(f.shptunnel[i].Top, 9000) << i;
  EXPECT_EQ(f.shpTunnelM.Left, 13320);
  EXPECT_EQ(f.shpTunnelM.Top, 4200);
}

TEST(Window, AsCreatedBeforeStartUp) {
  Game g(/*load=*/false);
  const auto& f = g.form;
  for (const auto& block : f.shptunnel) EXPECT_TRUE(block.Visible);
  EXPECT_TRUE(f.shpTunnelM.Visible);
  for (int i = 1; i <= 6; ++i) EXPECT_TRUE(f.shpPause[i].Visible && f.lblPause[i].Visible);
  EXPECT_TRUE(f.lblScore.Visible);
  EXPECT_EQ(f.lblScore.Caption, "0");
  EXPECT_TRUE(f.cmdStart.Visible);
  EXPECT_EQ(f.cmdStart.Caption, "START");
  EXPECT_FALSE(f.imgCopter.Visible || f.lblCRASH.Visible || f.imgExplosion.Visible);
  EXPECT_FALSE(f.lblTitle.Visible);
  for (int i = 1; i <= 15; ++i)
    EXPECT_FALSE(f.lblName[i].Visible || f.lblNumber[i].Visible || f.lblScores[i].Visible);

  // Only the collision, score and rotor timers run as created.
  EXPECT_FALSE(f.tmrCRASH.Enabled);
  EXPECT_FALSE(f.tmrPause.Enabled);
  EXPECT_TRUE(f.tmrcheck.Enabled);
  EXPECT_TRUE(f.tmrScore.Enabled);
  EXPECT_FALSE(f.tmrshrink.Enabled);
  EXPECT_TRUE(f.tmrCopter.Enabled);
  EXPECT_FALSE(f.tmrMoveTunnel.Enabled);
  EXPECT_FALSE(f.tmrUp.Enabled);
  EXPECT_FALSE(f.tmrDown.Enabled);
}

// Keeps out: a control missing from the paint lists (or painted twice) and never seen.
TEST(Window, EveryControlIsPaintedExactlyOnce) {
  Game g(/*load=*/false);
  const frmCavewing& f = g.form;
  std::map<const void*, int> painted;
  for (const auto* s : f.paintShapes) ++painted[s];
  for (const auto* i : f.paintImages) ++painted[i];
  for (const auto* l : f.paintLabels) ++painted[l];
  std::vector<const void*> controls = {&f.lblPizzle,    &f.lblCRASH,  &f.imgCopter,
                                       &f.imgExplosion, &f.lblTitle,  &f.lblTitleThingy,
                                       &f.lblScore,     &f.shpTunnelM};
  for (const auto& c : f.lblPause) controls.push_back(&c);
  for (const auto& c : f.shpPause) controls.push_back(&c);
  for (const auto& c : f.shptunnel) controls.push_back(&c);
  for (const auto& c : f.imgHeli) controls.push_back(&c);
  for (const auto& c : f.lblName) controls.push_back(&c);
  for (const auto& c : f.lblNumber) controls.push_back(&c);
  for (const auto& c : f.lblScores) controls.push_back(&c);
  for (const void* c : controls) EXPECT_EQ(painted[c], 1) << "control " << c;
  EXPECT_EQ(painted.size(), controls.size()) << "something that is no control is painted";
  EXPECT_EQ(controls.size(), 8u + 6 + 6 + 40 + 5 + 15 + 15 + 15);
}

TEST(Window, LayoutOfTheCaveAndTheMeter) {
  Game g(false);
  const auto& f = g.form;
  for (int i = 0; i < frmCavewing::Columns; ++i) {
    EXPECT_EQ(f.shptunnel[i].Left, 1200.0f * float(i));
    EXPECT_EQ(f.shptunnel[i].Top + f.shptunnel[i].Height, 2100);  // ceiling's lower edge
    EXPECT_EQ(f.shptunnel[frmCavewing::FirstFloorBlock + i].Left, 1200.0f * float(i));
    EXPECT_EQ(f.shptunnel[frmCavewing::FirstFloorBlock + i].Top, 9000);
  }
  const float meterLefts[] = {7080, 7680, 8280, 8880, 9480, 10080};
  for (int i = 1; i <= 6; ++i) {
    EXPECT_EQ(f.shpPause[i].Left, meterLefts[i - 1]);
    EXPECT_EQ(f.lblPause[i].Left, meterLefts[i - 1]);
    EXPECT_EQ(f.lblPause[i].Caption, std::to_string(i));
  }
  EXPECT_EQ(f.shpPause[1].FillColor, form::RGB(216, 0, 0));
  EXPECT_EQ(f.shpPause[6].FillColor, form::RGB(255, 0, 255));
  EXPECT_EQ(f.lblNumber[15].Caption, "15.");
  EXPECT_EQ(f.lblName[15].Top, 2280 + 480 * 14);
  EXPECT_EQ(f.imgHeli[4].Left, 120 + 2280 * 4);
}

TEST(Window, MenusHaveTheirAccessLettersAndShortcuts) {
  Game g(false);
  const auto& f = g.form;
  ASSERT_EQ(f.menuBar.size(), 3u);
  EXPECT_EQ(f.menuBar[0]->Caption, "&File");
  EXPECT_EQ(f.menuBar[1]->Caption, "&Help");
  EXPECT_EQ(f.menuBar[2]->Caption, "High Sc&ores");
  EXPECT_TRUE(f.mnuScores.Items.empty());  // a command on the bar itself
  EXPECT_EQ(f.mnuNew.Shortcut, "Ctrl+N");
  EXPECT_EQ(f.mnuExit.Caption, "E&xit");
  EXPECT_EQ(f.mnuExit.Shortcut, "Ctrl+X");
  EXPECT_EQ(f.mnuHow.Shortcut, "Ctrl+H");
  EXPECT_EQ(f.mnuAbout.Shortcut, "Ctrl+A");
  EXPECT_TRUE(f.mnuFile.Items[1]->IsSeparator());
  EXPECT_TRUE(f.mnuHelp.Items[1]->IsSeparator());
}

TEST(StartUp, LoadPutsTheWindowIntoTheReadyPhase) {
  Game g;
  const auto& f = g.form;
  expectReadyPhase(f);
  expectStartValues(f);
  expectFlatCave(f);
  EXPECT_EQ(f.floorLimitMode, 0);
  EXPECT_EQ(g.host.focus, &f.cmdStart);
  EXPECT_EQ(g.host.pointer, form::MousePointer::Default);
  EXPECT_GE(g.host.shown, 1);
  EXPECT_TRUE(g.host.boxes.empty());
}

TEST(StartUp, OnlyTheExactWideOuterWidthGetsTheWideLayout) {
  for (float width : {19289.0f, 19290.0f, 19291.0f}) {
    FakeHost host;
    host.outerWidth = width;
    form::Random random(1);
    frmCavewing f(host, random);
    f.Form_Load();
    const bool wide = width == 19290.0f;
    EXPECT_EQ(f.floorLimitMode, wide ? 1 : 0) << width;
    EXPECT_EQ(f.lblCRASH.Left, wide ? 2370 : 500) << width;
    EXPECT_EQ(f.lblPizzle.Left, wide ? 3450 : 3090);
    EXPECT_EQ(f.shpPause[1].Left, wide ? 7480 : 7080);
    EXPECT_EQ(f.lblPause[6].Left, wide ? 10480 : 10080);
    EXPECT_EQ(f.lblTitleThingy.Left, wide ? 12030 : 11640);
    EXPECT_EQ(f.lblScore.Left, wide ? 13795 : 13395);
    EXPECT_EQ(f.lblTitle.Left, wide ? 7000 : 5000);
    EXPECT_EQ(f.lblTitle.Top, wide ? 3060 : 1560);
    EXPECT_EQ(f.cmdStart.Left, wide ? 8430 : 6600);
    EXPECT_EQ(f.lblNumber[1].Left, wide ? 6270 : 4245);
    EXPECT_EQ(f.lblName[15].Left, wide ? 6870 : 4860);
    EXPECT_EQ(f.lblScores[15].Left, wide ? 11670 : 9645);
    EXPECT_EQ(f.lblScores[15].Top, 2280 + 480 * 14 + (wide ? 1500 : 0));
  }
}

TEST(StartUp, ExitAndCloseEndTheProgramWithoutAWord) {
  Game g;
  g.start();
  g.form.mnuExit_Click();
  EXPECT_TRUE(g.host.ended);
  EXPECT_TRUE(g.host.boxes.empty());

  Game h;
  h.form.Form_Unload();
  EXPECT_TRUE(h.host.ended);
}

TEST(Start, SwitchesToFlight) {
  Game g;
  g.start();
  const auto& f = g.form;
  EXPECT_TRUE(f.gameRunning);
  EXPECT_FALSE(f.halted);
  EXPECT_FALSE(f.gameOver);
  EXPECT_EQ(g.host.pointer, form::MousePointer::Custom);
  EXPECT_TRUE(f.imgCopter.Visible);
  EXPECT_EQ(f.imgCopter.Picture, form::Picture::Heli0);
  EXPECT_EQ(f.imgCopter.Left, 1000);
  EXPECT_EQ(f.imgCopter.Top, 5000);
  EXPECT_FALSE(f.cmdStart.Visible);
  EXPECT_FALSE(f.mnuFile.Enabled || f.mnuHelp.Enabled || f.mnuScores.Enabled);
  for (const form::Timer* t : {&f.tmrDown, &f.tmrCopter, &f.tmrMoveTunnel, &f.tmrshrink,
                               &f.tmrPause, &f.tmrScore, &f.tmrcheck})
    EXPECT_TRUE(t->Enabled);
  EXPECT_FALSE(f.tmrUp.Enabled);  // the helicopter starts by falling
  EXPECT_FALSE(f.tmrCRASH.Enabled);
}

TEST(Start, ASecondClickChangesNothing) {
  Game g;
  g.start();
  g.form.pausesLeft = 3;
  g.form.halted = true;  // even paused, a started game is not started again
  g.form.tmrDown.Enabled = false;
  g.start();
  EXPECT_TRUE(g.form.halted);
  EXPECT_FALSE(g.form.tmrDown.Enabled);
  EXPECT_EQ(g.form.pausesLeft, 3);
}

TEST(Start, DoesNothingWhileTheCrashBannerShows) {
  Game g;
  g.form.lblCRASH.Visible = true;
  g.start();
  EXPECT_FALSE(g.form.gameRunning);
  EXPECT_FALSE(g.form.tmrMoveTunnel.Enabled);
}

TEST(NewGame, ReturnsToTheReadyPhaseFromFlight) {
  Game g;
  g.start();
  auto& f = g.form;
  // Play on a little, by hand: the cave and the game moved on.
  f.shptunnel[3].Top = -5000;
  f.shptunnel[3].Left = 500;
  f.shptunnel[3].Height = 8100;
  f.shptunnel[25].Top = 8000;
  f.shpTunnelM.Left = 200;
  f.shpTunnelM.Height = 3000;  // the obstacle shrank with the cave
  f.gapHeight = 5000;
  f.score = 400;
  f.lblScore.Caption = "399";
  f.pausesLeft = 2;
  f.shpPause[6].Visible = f.lblPause[6].Visible = false;
  f.climbSpeed = -80;
  f.rotorFrame = 3;
  f.floorLimitMode = 1;
  f.tmrUp.Enabled = true;
  f.clock.advance(1000);

  f.mnuNew_Click();
  expectReadyPhase(f);
  expectStartValues(f);
  expectFlatCave(f);
  EXPECT_EQ(f.shpTunnelM.Height, 2400);
  EXPECT_EQ(f.shptunnel[3].Left, 500);  // columns stay where they were
  EXPECT_EQ(f.floorLimitMode, 1);       // chosen once, at start-up
  EXPECT_TRUE(f.shpPause[6].Visible && f.lblPause[6].Visible);
  EXPECT_EQ(f.imgCopter.Picture, form::Picture::Heli0);
  EXPECT_EQ(g.host.focus, &f.cmdStart);
  EXPECT_EQ(g.host.pointer, form::MousePointer::Default);
  for (const form::Timer* t : {&f.tmrUp, &f.tmrDown, &f.tmrCopter, &f.tmrMoveTunnel, &f.tmrshrink,
                               &f.tmrScore, &f.tmrcheck, &f.tmrPause})
    EXPECT_FALSE(t->Enabled);
}

TEST(NewGame, FromACrashHidesTheListAndLeavesTheCrashTimerAlone) {
  Game g;
  g.start();
  auto& f = g.form;
  f.gameOver = f.crashed = f.halted = true;
  f.gameRunning = false;
  f.tmrCRASH.Enabled = true;
  f.lblTitle.Visible = true;
  for (int i = 1; i <= 15; ++i) f.lblName[i].Visible = true;
  for (auto& block : f.shptunnel) block.Visible = false;
  f.shpTunnelM.Visible = false;
  f.imgCopter.Picture = form::Picture::Explosion;

  f.mnuNew_Click();
  expectReadyPhase(f);
  EXPECT_FALSE(f.lblTitle.Visible);
  for (int i = 1; i <= 15; ++i) EXPECT_FALSE(f.lblName[i].Visible);
  for (const auto& block : f.shptunnel) EXPECT_TRUE(block.Visible);
  EXPECT_TRUE(f.shpTunnelM.Visible);
  EXPECT_TRUE(f.tmrCRASH.Enabled);
  EXPECT_EQ(f.imgCopter.Picture, form::Picture::Heli0);
}

TEST(NewGame, FromTheReadyPhaseAndThenStartAgain) {
  Game g;
  g.form.mnuNew_Click();
  expectReadyPhase(g.form);
  g.start();
  EXPECT_TRUE(g.form.gameRunning);
  EXPECT_TRUE(g.form.tmrMoveTunnel.Enabled);
}

TEST(HelpAndAbout, BoxesHaveTheirTitlesAndTexts) {
  Game g;
  g.form.mnuHow_Click();
  g.form.mnuAbout_Click();
  ASSERT_EQ(g.host.boxes.size(), 2u);
  EXPECT_EQ(g.host.boxes[0].title, "How to Play the Cavewing");
  EXPECT_EQ(g.host.boxes[0].prompt.rfind("The purpose of this game is to keep the helicopter", 0),
            0u);
  EXPECT_NE(g.host.boxes[0].prompt.find("crashing into anything.  Use the LEFT"),
            std::string::npos);
  EXPECT_NE(g.host.boxes[0].prompt.find("to pause/unpause the game."), std::string::npos);
  EXPECT_EQ(g.host.boxes[1].title, "About the Cavewing");
  EXPECT_NE(g.host.boxes[1].prompt.find("Cavewing team"), std::string::npos);
  EXPECT_NE(g.host.boxes[1].prompt.find("2026"), std::string::npos);
  EXPECT_NE(g.host.boxes[1].prompt.find("MIT licence"), std::string::npos);
}

TEST(HelpAndAbout, TimeStandsStillWhileABoxIsOpen) {
  Game g;
  g.start();
  auto& f = g.form;
  const auto before = f.clock.now();
  int ticks = 0;
  f.tmrcheck.onTimer = [&] { ++ticks; };
  g.host.whileBoxIsOpen = [&] { f.clock.advance(5000); };
  {
    form::Clock::Delivery menuClick(f.clock);
    f.mnuAbout_Click();
  }
  EXPECT_EQ(f.clock.now(), before);
  EXPECT_EQ(ticks, 0);
}

}  // namespace
