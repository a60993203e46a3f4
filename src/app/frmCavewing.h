// SPDX-License-Identifier: MIT
// frmCavewing: the game window, its controls, its game state and every event handler.
//
// One class, many files: each section below is implemented in the folder of its subsystem, and
// holds the fields its handlers own beside them.
//
//   section                     holds                                             folder
//   --------------------------  ------------------------------------------------  -----------
//   Runtime                     host, random numbers, clock                        src/form
//   Controls                    every control, in creation order; the menu bar     src/app
//   Shared game state           the phase flags and the loop counter               src/app
//   Window and game control     load, unload, Exit, New Game, START                src/app
//   Tunnel                      scrolling, regenerating and narrowing the cave     src/tunnel
//   Flight                      climb and fall, rotor, collision, crash start      src/flight
//   Crash sequence              the banner's two ticks, then the high-score list   src/flight
//   Input and pause             mouse buttons, keys, pausing and the pause meter   src/input
//   Scores and high-score list  score counter, high-score file, ranking, the list  src/scores
//   Help and About              the two information boxes                          src/help
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "form/Clock.h"
#include "form/Controls.h"
#include "form/Host.h"
#include "form/KeptFile.h"
#include "form/Random.h"

class frmCavewing {
public:
  frmCavewing(form::Host& host, form::Random& random,
              std::int64_t systemTickUs = form::Clock::defaultSystemTickUs);
  frmCavewing(const frmCavewing&) = delete;
  frmCavewing& operator=(const frmCavewing&) = delete;

  // ---- Runtime -------------------------------------------------------------------------------
  form::Host& host;
  form::Random& rnd;
  form::Clock clock;

  // ---- Controls ------------------------------------------------------------------------------
  // The client area, in twips; the normal window's outer width, and the one outer width that
  // selects the wide layout. Every machine plays with one of these two, whatever its frame.
  static constexpr float ScaleWidth = 15240;
  static constexpr float ScaleHeight = 10830;
  static constexpr float NormalOuterWidth = 15360;
  static constexpr float WideOuterWidth = 19290;
  // Where a game starts, set at load and by New Game alike: the helicopter, the obstacle, the
  // gap and the cave's blocks (ceiling blocks hang above the field, floor blocks reach below it),
  // all in the one green of the cave, the obstacle and the list.
  static constexpr float CopterStartLeft = 1000, CopterStartTop = 5000;
  static constexpr float ObstacleStartLeft = 13320, ObstacleStartTop = 4200;
  static constexpr float ObstacleStartHeight = 2400;
  static constexpr std::int32_t StartGapHeight = 6900;
  static constexpr float CeilingBlockTop = -6000, CeilingBlockHeight = 8100;
  static constexpr float FloorBlockTop = 9000, FloorBlockHeight = 15000;
  static constexpr form::Color Green = form::RGB(0, 255, 0);

  form::CommandButton cmdStart;
  form::ControlArray<form::Label, 1, 6> lblPause;
  form::ControlArray<form::Shape, 1, 6> shpPause;
  form::Label lblPizzle;
  form::Label lblCRASH;
  form::Image imgCopter;
  form::Image imgExplosion;
  // The cave's walls: a row of ceiling blocks over a row of floor blocks, one of each per column;
  // the floor block under ceiling block i is FirstFloorBlock + i.
  static constexpr int Columns = 20;
  static constexpr int LastCeilingBlock = Columns - 1;
  static constexpr int FirstFloorBlock = Columns;
  static constexpr int LastFloorBlock = FirstFloorBlock + Columns - 1;
  form::ControlArray<form::Shape, 0, LastFloorBlock> shptunnel;
  form::ControlArray<form::Image, 0, 4> imgHeli;
  form::ControlArray<form::Label, 1, 15> lblName;
  form::Label lblTitle;
  form::ControlArray<form::Label, 1, 15> lblNumber;
  form::ControlArray<form::Label, 1, 15> lblScores;
  form::Label lblTitleThingy;
  form::Label lblScore;
  form::Shape shpTunnelM;

  // Timers, in creation order: at a grid point where several are due, they fire in this order.
  form::Timer tmrCRASH{clock, 600, false};
  form::Timer tmrPause{clock, 10000, false};
  form::Timer tmrcheck{clock, 1, true};
  form::Timer tmrScore{clock, 50, true};
  form::Timer tmrshrink{clock, 750, false};
  form::Timer tmrCopter{clock, 10, true};
  form::Timer tmrMoveTunnel{clock, 1, false};
  form::Timer tmrUp{clock, 30, false};
  form::Timer tmrDown{clock, 30, false};

  form::MenuItem mnuFile, mnuNew, mnuSpace1, mnuExit;
  form::MenuItem mnuHelp, mnuHow, mnuSpace2, mnuAbout;
  form::MenuItem mnuScores;
  std::vector<form::MenuItem*> menuBar;  // left to right

  // What the front end paints, in this order: rectangles (the cave, then the pause meter in
  // front of it), pictures, then labels, so that the pause digits sit on their boxes and the
  // banner over the cave. Otherwise each list keeps creation order.
  std::vector<const form::Shape*> paintShapes;
  std::vector<const form::Image*> paintImages;
  std::vector<const form::Label*> paintLabels;

  // ---- Shared game state ---------------------------------------------------------------------
  // The four flags that make up the game's phase are written and read by nearly every section,
  // and every loop over a control array counts in the one loopIndex: they stay together here.
  bool gameOver = false;
  bool crashed = false;
  bool halted = false;
  bool gameRunning = false;
  int loopIndex = 0;

  // ---- Window and game control (src/app) -----------------------------------------------------
  void Form_Load();
  void Form_Unload();
  void mnuExit_Click();
  void mnuNew_Click();
  void cmdStart_Click();
  // The File, Help and High Scores menus go off during flight and on in every other phase.
  void setMenusEnabled(bool enabled);

  // ---- Tunnel (src/tunnel) -------------------------------------------------------------------
  // The cave keeps a passage beside the obstacle over its own column and this many either side.
  static constexpr int PassageReach = 2;
  // How far every tick of the cave moves its blocks and the obstacle to the left.
  static constexpr float ScrollStep = 120;
  std::int32_t gapHeight = 0;
  std::int32_t floorLimitMode = 0;  // set at start-up by the window's width
  // The window's outer width as read at load. Resizing the window later scales the picture and
  // never changes the cave: the obstacle comes back by this width for the whole sitting.
  float outerWidth = NormalOuterWidth;
  std::int32_t tunnelRoll = 0;
  bool ceilingStepUp = false;
  void tmrMoveTunnel_Timer();
  void tmrshrink_Timer();

  // ---- Flight (src/flight) -------------------------------------------------------------------
  std::int16_t climbSpeed = 0;
  std::int32_t climbAccel = 0;
  std::int32_t rotorFrame = 0;
  void tmrUp_Timer();
  void tmrDown_Timer();
  void tmrCopter_Timer();
  void tmrcheck_Timer();

  // ---- Crash sequence (src/flight) -----------------------------------------------------------
  bool crashArmed = false;
  void tmrCRASH_Timer();

  // ---- Input and pause (src/input) ----------------------------------------------------------
  // The window's event vocabulary: buttons 1 left, 2 right, 4 middle (0: no button, when a key
  // resumes a pause); shift state 1 Shift, 2 Ctrl, 4 Alt; classic key codes and character
  // codes; positions in twips.
  static constexpr int NoButton = 0, LeftButton = 1, RightButton = 2, MiddleButton = 4;
  static constexpr int ShiftMask = 1, CtrlMask = 2, AltMask = 4;
  static constexpr int KeyF4 = 115, KeyX = 88;
  static constexpr int AsciiSpace = 32, AsciiEscape = 27, AsciiReturn = 13;

  std::int32_t pausesLeft = 0;
  void PressButton(int button);
  // A button let go, or a release the window lost because it lost the focus meanwhile.
  void ReleaseButton();
  void Form_MouseDown(int Button, int Shift, float X, float Y);
  void Form_MouseUp(int Button, int Shift, float X, float Y);
  // Pressing on the helicopter steers just as pressing on the window does.
  void imgCopter_MouseDown(int Button, int Shift, float X, float Y);
  void imgCopter_MouseUp(int Button, int Shift, float X, float Y);
  void Form_DblClick();
  void Form_KeyPress(int KeyAscii);
  void Form_KeyDown(int KeyCode, int Shift);
  // Spends one charge of the pause meter and stops the flight; refused when none is left.
  void PauseGame();
  // Lifts a pause (and, while flying, repeats the flying state).
  void ResumeGame();
  void tmrPause_Timer();

  // ---- Scores and high-score list (src/scores) -----------------------------------------------
  std::int64_t score = 0;
  std::int32_t highScoreCount = 0;
  std::string userName;
  // The high-score file named on the command line; empty for the usual place (highScorePath).
  std::string scoresFile;
  // A throw-away table for replays and the demo: while set, the table is read from and saved to
  // this text and no file is touched, so that their games never reach the player's table.
  std::optional<std::string> throwAwayTable;
  void tmrScore_Timer();
  void GetUsername();
  // The player's name as GetUsername finds it in the environment, without setting userName.
  static std::string UserNameFrom(form::Host& host);
  static std::string UserNameFrom(
      const std::function<std::string(const std::string&)>& variableValue);
  void ReadScores();
  // Fills the list's rows from a table's text, as ReadScores does from the file's.
  void ListTable(const std::string& text);
  // Whether the table was saved (and kept, where the front end keeps files beyond the program);
  // a table that was not says why on standard error, once.
  bool WriteScores();
  void CalculateHighScores();
  // The numeric value of a score's text, as the ranking reads it: the whole number it starts
  // with (after blanks, with an optional sign), else 0; beyond the range it holds at the ends.
  static std::int64_t ScoreValue(std::string_view text);
  // The row of the list that holds `shown` under the player's name (as the ranking wrote it); 0
  // when no row does.
  int listRank(std::int64_t shown) const;
  void ShowHighScores();
  void HideHighScores();
  void mnuScores_Click();
  void lblName_Click(int Index);
  void lblNumber_Click(int Index);
  void lblScores_Click(int Index);
  void lblTitle_Click();
  // "Cavewing.txt" in the program's folder, or in the player's data folder when the program's
  // folder cannot be written; the file named on the command line wins. Empty when the table has
  // no place: the program's folder cannot be written and the player has no data folder.
  std::string highScorePath() const;

  // ---- Help and About (src/help) -------------------------------------------------------------
  void mnuHow_Click();
  void mnuAbout_Click();

private:
  // The table file, held (locked) by the ranking from reading it to saving it; null otherwise
  // (src/scores).
  std::unique_ptr<form::KeptFile> heldTable;
  std::unique_ptr<form::KeptFile> openTable();
  // Lets the held table go when the ranking saves nothing, saying once what was wrong with it.
  void releaseTable();

  // Shared by start-up and New Game (src/app).
  void resetGameState();
  void flattenCave();
};
