// The window as it is created: every control at its place with its look, the timers at their
// intervals, the menu bar, and the binding of events to handlers. Form_Load starts from here.
#include "app/frmCavewing.h"

using form::Alignment;
using form::Font;
using form::RGB;

namespace {

constexpr form::Color Red = RGB(255, 0, 0);
constexpr form::Color Green = RGB(0, 255, 0);
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

}  // namespace

frmCavewing::frmCavewing(form::Host& host_, form::Random& random, std::int64_t systemTickUs)
    : host(host_), rnd(random), clock(systemTickUs) {
  layOutControls();
  buildMenus();
  bindHandlers();
  listPaintOrder();
}

void frmCavewing::layOutControls() {
  place(cmdStart, 6600, 4650, 2000, 1005, true);
  cmdStart.Caption = "START";
  cmdStart.Font = Font{"Arial", 24, true};
  cmdStart.BackColor = Red;

  for (int i = 1; i <= 6; ++i) {
    const float left = 7080 + 600 * float(i - 1);
    place(lblPause[i], left, 300, 615, 570, true);
    dress(lblPause[i], std::to_string(i), Font{"Comic Sans MS", 24, true}, Black,
          Alignment::Center);
    place(shpPause[i], left, 420, 615, 495, true);
    shpPause[i].FillColor = PauseBoxColors[i - 1];
    shpPause[i].BorderColor = Black;
  }

  place(lblPizzle, 3090, 360, 3975, 495, true);
  dress(lblPizzle, "Pause-O-Meter:", Font{"Verdana", 24}, Blue, Alignment::LeftJustify);
  place(lblCRASH, 500, 3000, 14655, 4575, false);
  dress(lblCRASH, "YOU CRASHED", Font{"Arial", 99.75f, true}, Red, Alignment::Center);

  place(imgCopter, 1000, 5000, 1605, 405, false);
  place(imgExplosion, 11520, 10080, 1605, 405, false);
  imgExplosion.Picture = form::Picture::Explosion;

  for (int i = 0; i < Columns; ++i) {
    place(shptunnel[i], 1200 * float(i), -6000, 1200, 8100, true);
    place(shptunnel[FirstFloorBlock + i], 1200 * float(i), 9000, 1200, 15000, true);
  }
  for (auto& block : shptunnel) paint(block, Green);

  for (int i = 0; i <= 4; ++i) {
    place(imgHeli[i], 120 + 2280 * float(i), 10080, 1605, 405, false);
    imgHeli[i].Picture = form::Picture(int(form::Picture::Heli0) + i);
  }

  for (int i = 1; i <= 15; ++i) {
    const float row = 480 * float(i - 1);
    place(lblName[i], 4860, 2280 + row, 4725, 405, false);
    dress(lblName[i], "", Font{"Arial", 15.75f}, Black, Alignment::LeftJustify, true);
    place(lblNumber[i], 4245, 2250 + row, 540, 450, false);
    dress(lblNumber[i], std::to_string(i) + ".", Font{"Comic Sans MS", 18, true}, Green,
          Alignment::RightJustify);
    place(lblScores[i], 9645, 2280 + row, 1260, 405, false);
    dress(lblScores[i], "", Font{"Arial", 15.75f}, Black, Alignment::RightJustify, true);
  }
  place(lblTitle, 5000, 1560, 5355, 495, false);
  dress(lblTitle, "HIGH SCORE LIST", Font{"Arial", 24, true, true}, Green, Alignment::Center);

  place(lblTitleThingy, 11640, 360, 1695, 495, true);
  dress(lblTitleThingy, "Score:", Font{"Verdana", 24}, Blue, Alignment::LeftJustify);
  place(lblScore, 13395, 360, 1740, 615, true);
  dress(lblScore, "0", Font{"Verdana", 24}, Black, Alignment::Center, true);

  place(shpTunnelM, 13320, 4200, 1200, 2400, true);
  paint(shpTunnelM, Green);
}

void frmCavewing::buildMenus() {
  item(mnuFile, "&File");
  item(mnuNew, "&New Game", "Ctrl+N");
  item(mnuSpace1, "-");
  item(mnuExit, "E&xit", "Ctrl+X");
  mnuFile.Items = {&mnuNew, &mnuSpace1, &mnuExit};
  item(mnuHelp, "&Help");
  item(mnuHow, "&How to Play", "Ctrl+H");
  item(mnuSpace2, "-");
  item(mnuAbout, "&About", "Ctrl+A");
  mnuHelp.Items = {&mnuHow, &mnuSpace2, &mnuAbout};
  item(mnuScores, "High Sc&ores");
  menuBar = {&mnuFile, &mnuHelp, &mnuScores};
}

void frmCavewing::bindHandlers() {
  mnuNew.onClick = [this] { mnuNew_Click(); };
  mnuExit.onClick = [this] { mnuExit_Click(); };
  mnuHow.onClick = [this] { mnuHow_Click(); };
  mnuAbout.onClick = [this] { mnuAbout_Click(); };
  tmrMoveTunnel.onTimer = [this] { tmrMoveTunnel_Timer(); };
  tmrshrink.onTimer = [this] { tmrshrink_Timer(); };
  tmrUp.onTimer = [this] { tmrUp_Timer(); };
  tmrDown.onTimer = [this] { tmrDown_Timer(); };
  tmrCopter.onTimer = [this] { tmrCopter_Timer(); };
  tmrcheck.onTimer = [this] { tmrcheck_Timer(); };
  tmrScore.onTimer = [this] { tmrScore_Timer(); };
  tmrCRASH.onTimer = [this] { tmrCRASH_Timer(); };
  mnuScores.onClick = [this] { mnuScores_Click(); };
  tmrPause.onTimer = [this] { tmrPause_Timer(); };
}

void frmCavewing::listPaintOrder() {
  // The pause meter stands in front of the ceiling, which always reaches behind it.
  for (const auto& s : shptunnel) paintShapes.push_back(&s);
  paintShapes.push_back(&shpTunnelM);
  for (const auto& s : shpPause) paintShapes.push_back(&s);

  paintImages = {&imgCopter, &imgExplosion};
  for (const auto& i : imgHeli) paintImages.push_back(&i);

  for (int i = 6; i >= 1; --i) paintLabels.push_back(&lblPause[i]);
  paintLabels.push_back(&lblPizzle);
  paintLabels.push_back(&lblCRASH);
  for (const auto& l : lblName) paintLabels.push_back(&l);
  paintLabels.push_back(&lblTitle);
  for (const auto& l : lblNumber) paintLabels.push_back(&l);
  for (const auto& l : lblScores) paintLabels.push_back(&l);
  paintLabels.push_back(&lblTitleThingy);
  paintLabels.push_back(&lblScore);
}
