// SPDX-License-Identifier: MIT
// The window as it is created: every control at its place with its look, the timers at their
// intervals, the menu bar, and the binding of events to handlers. Form_Load starts from here.
#include "app/frmCavewing.h"

using form::Alignment;
using form::Font;
using form::RGB;

namespace {

constexpr form::Color Red = RGB(255, 0, 0);
constexpr form::Color Green = frmCavewing::Green;
constexpr form::Color Blue = RGB(0, 0, 255);
constexpr form::Color Black = RGB(0, 0, 0);

constexpr form::Color PauseBoxColors[] = {RGB(216, 0, 0), RGB(255, 128, 0),   RGB(255, 255, 0),
                                          RGB(0, 192, 0), RGB(128, 128, 255), RGB(255, 0, 255)};

void place(form::Control& c, float left, float top, float width, float height, bool visible) {
  c.Left = left;
  c.Top = top;
  c.Width = width;
  c.Height = height;
  c.Visible = visible;
}

void dress(form::Label& l, std::string caption, Font font, form::Color color, Alignment alignment,
           bool boxed = false) {
  l.Caption = std::move(caption);
  l.Font = std::move(font);
  l.ForeColor = color;
  l.Alignment = alignment;
  l.Boxed = boxed;
}

void paint(form::Shape& s, form::Color color) {
  s.FillColor = color;
  s.BorderColor = color;
}

void item(form::MenuItem& m, std::string caption, std::string shortcut = {}) {
  m.Caption = std::move(caption);
  m.Shortcut = std::move(shortcut);
}

void layOutControls(frmCavewing& f) {
  place(f.cmdStart, 6600, 4650, 2000, 1005, true);
  f.cmdStart.Caption = "START";
  f.cmdStart.Font = Font{"Arial", 24, true};
  f.cmdStart.BackColor = Red;

  for (int i = 1; i <= 6; ++i) {
    const float left = 7080 + 600 * float(i - 1);
    place(f.lblPause[i], left, 300, 615, 570, true);
    dress(f.lblPause[i], std::to_string(i), Font{"Comic Sans MS", 24, true}, Black,
          Alignment::Center);
    place(f.shpPause[i], left, 420, 615, 495, true);
    f.shpPause[i].FillColor = PauseBoxColors[i - 1];
    f.shpPause[i].BorderColor = Black;
  }

  place(f.lblPizzle, 3090, 360, 3975, 495, true);
  dress(f.lblPizzle, "Pause-O-Meter:", Font{"Verdana", 24}, Blue, Alignment::LeftJustify);
  place(f.lblCRASH, 500, 3000, 14655, 4575, false);
  dress(f.lblCRASH, "YOU CRASHED", Font{"Arial", 99.75f, true}, Red, Alignment::Center);

  place(f.imgCopter, frmCavewing::CopterStartLeft, frmCavewing::CopterStartTop, 1605, 405, false);
  place(f.imgExplosion, 11520, 10080, 1605, 405, false);
  f.imgExplosion.Picture = form::Picture::Explosion;

  for (int i = 0; i < frmCavewing::Columns; ++i) {
    place(f.shptunnel[i], 1200 * float(i), frmCavewing::CeilingBlockTop, 1200,
          frmCavewing::CeilingBlockHeight, true);
    place(f.shptunnel[frmCavewing::FirstFloorBlock + i], 1200 * float(i),
          frmCavewing::FloorBlockTop, 1200, frmCavewing::FloorBlockHeight, true);
  }
  for (auto& block : f.shptunnel) paint(block, Green);

  for (int i = 0; i <= 4; ++i) {
    place(f.imgHeli[i], 120 + 2280 * float(i), 10080, 1605, 405, false);
    f.imgHeli[i].Picture = form::Picture(int(form::Picture::Heli0) + i);
  }

  for (int i = 1; i <= 15; ++i) {
    const float row = 480 * float(i - 1);
    place(f.lblName[i], 4860, 2280 + row, 4725, 405, false);
    dress(f.lblName[i], "", Font{"Arial", 15.75f}, Black, Alignment::LeftJustify, true);
    place(f.lblNumber[i], 4245, 2250 + row, 540, 450, false);
    dress(f.lblNumber[i], std::to_string(i) + ".", Font{"Comic Sans MS", 18, true}, Green,
          Alignment::RightJustify);
    place(f.lblScores[i], 9645, 2280 + row, 1260, 405, false);
    dress(f.lblScores[i], "", Font{"Arial", 15.75f}, Black, Alignment::RightJustify, true);
  }
  place(f.lblTitle, 5000, 1560, 5355, 495, false);
  dress(f.lblTitle, "HIGH SCORE LIST", Font{"Arial", 24, true, true}, Green, Alignment::Center);

  place(f.lblTitleThingy, 11640, 360, 1695, 495, true);
  dress(f.lblTitleThingy, "Score:", Font{"Verdana", 24}, Blue, Alignment::LeftJustify);
  place(f.lblScore, 13395, 360, 1740, 615, true);
  dress(f.lblScore, "0", Font{"Verdana", 24}, Black, Alignment::Center, true);

  place(f.shpTunnelM, frmCavewing::ObstacleStartLeft, frmCavewing::ObstacleStartTop, 1200,
        frmCavewing::ObstacleStartHeight, true);
  paint(f.shpTunnelM, Green);
}

void buildMenus(frmCavewing& f) {
  item(f.mnuFile, "&File");
  item(f.mnuNew, "&New Game", "Ctrl+N");
  item(f.mnuSpace1, "-");
  item(f.mnuExit, "E&xit", "Ctrl+X");
  f.mnuFile.Items = {&f.mnuNew, &f.mnuSpace1, &f.mnuExit};
  item(f.mnuHelp, "&Help");
  item(f.mnuHow, "&How to Play", "Ctrl+H");
  item(f.mnuSpace2, "-");
  item(f.mnuAbout, "&About", "Ctrl+A");
  f.mnuHelp.Items = {&f.mnuHow, &f.mnuSpace2, &f.mnuAbout};
  item(f.mnuScores, "High Sc&ores");
  f.menuBar = {&f.mnuFile, &f.mnuHelp, &f.mnuScores};
}

void bindHandlers(frmCavewing& f) {
  f.mnuNew.onClick = [&f] { f.mnuNew_Click(); };
  f.mnuExit.onClick = [&f] { f.mnuExit_Click(); };
  f.mnuHow.onClick = [&f] { f.mnuHow_Click(); };
  f.mnuAbout.onClick = [&f] { f.mnuAbout_Click(); };
  f.tmrMoveTunnel.onTimer = [&f] { f.tmrMoveTunnel_Timer(); };
  f.tmrshrink.onTimer = [&f] { f.tmrshrink_Timer(); };
  f.tmrUp.onTimer = [&f] { f.tmrUp_Timer(); };
  f.tmrDown.onTimer = [&f] { f.tmrDown_Timer(); };
  f.tmrCopter.onTimer = [&f] { f.tmrCopter_Timer(); };
  f.tmrcheck.onTimer = [&f] { f.tmrcheck_Timer(); };
  f.tmrScore.onTimer = [&f] { f.tmrScore_Timer(); };
  f.tmrCRASH.onTimer = [&f] { f.tmrCRASH_Timer(); };
  f.mnuScores.onClick = [&f] { f.mnuScores_Click(); };
  f.tmrPause.onTimer = [&f] { f.tmrPause_Timer(); };
}

void listPaintOrder(frmCavewing& f) {
  // The pause meter stands in front of the ceiling, which always reaches behind it.
  for (const auto& s : f.shptunnel) f.paintShapes.push_back(&s);
  f.paintShapes.push_back(&f.shpTunnelM);
  for (const auto& s : f.shpPause) f.paintShapes.push_back(&s);

  f.paintImages = {&f.imgCopter, &f.imgExplosion};
  for (const auto& i : f.imgHeli) f.paintImages.push_back(&i);

  for (int i = 6; i >= 1; --i) f.paintLabels.push_back(&f.lblPause[i]);
  f.paintLabels.push_back(&f.lblPizzle);
  f.paintLabels.push_back(&f.lblCRASH);
  for (const auto& l : f.lblName) f.paintLabels.push_back(&l);
  f.paintLabels.push_back(&f.lblTitle);
  for (const auto& l : f.lblNumber) f.paintLabels.push_back(&l);
  for (const auto& l : f.lblScores) f.paintLabels.push_back(&l);
  f.paintLabels.push_back(&f.lblTitleThingy);
  f.paintLabels.push_back(&f.lblScore);
}

}  // namespace

frmCavewing::frmCavewing(form::Host& host_, form::Random& random, std::int64_t systemTickUs)
    : host(host_), rnd(random), clock(systemTickUs) {
  layOutControls(*this);
  buildMenus(*this);
  bindHandlers(*this);
  listPaintOrder(*this);
}
