// SPDX-License-Identifier: MIT
// The game's main window: the real menu bar built from the form's menu items, the playfield,
// message boxes, the cursor, and the real-time pump. It hosts the cabinet, which drives the
// game; the window holds no rule.
#pragma once

#include <QAction>
#include <QCursor>
#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cabinet/Cabinet.h"
#include "cabinet/kit/Kit.h"
#include "cabinet/kit/Menus.h"
#include "form/Host.h"
#include "qt/FramePacer.h"
#include "qt/KeptSwitch.h"
#include "qt/Playfield.h"
#include "qt/RealTimePump.h"
#include "qt/Speaker.h"
#include "start/CommandLine.h"

class PlayerInput;
class StandStill;

class GameWindow : public QMainWindow, public form::Host, private cabinet::kit::Kit::Screen {
  Q_OBJECT
public:
  // With a recording (which must outlive the window), the window plays it back instead of
  // recording a new sitting.
  explicit GameWindow(const CommandLine& options, const replay::Recording* replay = nullptr);
  ~GameWindow() override;

  cabinet::Cabinet& cabinet() { return *cabinet_; }
  cabinet::kit::Kit& kit() { return *kit_; }
  const frmCavewing& form() const { return cabinet_->form(); }
  Playfield* playfield() const { return playfield_; }
  RealTimePump& pump() { return *pump_; }
  PlayerInput& input() { return *input_; }
  StandStill& standStill() { return *standStill_; }
  Speaker& speaker() { return *speaker_; }
  // F9: the player hides the ghost and shows it again; the choice is kept.
  QAction* hideGhostAction() const { return hideGhost_; }
  QAction* actionFor(const form::MenuItem& item) const;

  // Hands the player's input to the cabinet at the grid point of real time.
  void deliver(const replay::Event& event);
  // Lets `change` act on the cabinet at the grid point of real time, and catches up with it.
  void drive(const std::function<void()>& change);
  // Shows what changed in the form without moving time (the list the score server filled, even
  // while a box waits).
  void showChanges() { syncWithForm(); }
  // A frame of the display at real time `realUs` of the pump's clock: the game follows it on its
  // grid and the playfield shows it; without a time (real time stands) the frame shows the
  // state. Returns whether the next frame may differ (anything changed, or the game flies).
  bool frame(std::optional<std::int64_t> realUs);

  // form::Host
  void MsgBox(const std::string& prompt, const std::string& title) override;
  void End() override;
  std::string AppPath() override;
  std::string UserDataPath() override;
  std::string Environ(const std::string& name) override;
  void Show() override;
  float OuterWidth() override;
  void SetFocus(const form::CommandButton& button) override;
  void SetMousePointer(form::MousePointer pointer) override;
  double Timer() override;

protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

private:
  // The left button was pressed on the field: the timing report times it to the climb's picture.
  void timePress();
  void buildMenuBar();
  // After a menu or a box, the keys go to the game again: to START while it shows, else the field.
  void returnKeyboard();
  bool syncWithForm();  // whether anything visible changed
  void syncMenus();
  // cabinet::kit::Kit::Screen
  void beforeInput() override;
  void changed() override { syncWithForm(); }
  void timeStands(bool standing) override;

  std::unique_ptr<cabinet::Cabinet> cabinet_;
  std::unique_ptr<cabinet::kit::Kit> kit_;
  Playfield* playfield_;
  std::unique_ptr<RealTimePump> pump_;
  FramePacer* pacer_ = nullptr;
  // For the timing report: when the left button was pressed, and where the helicopter was drawn
  // in the last frame.
  std::optional<std::int64_t> pressedUs_;
  float drawnCopterTop_ = 0;
  std::unique_ptr<PlayerInput> input_;  // declared after the cabinet: destroyed before it
  struct MenuAction {
    QAction* action;
    cabinet::kit::MenuEntry entry;
  };
  std::vector<MenuAction> menuActions_;
  QCursor customCursor_;
  StandStill* standStill_ = nullptr;
  Speaker* speaker_ = nullptr;
  KeptSwitch* hideGhost_ = nullptr;
  float outerWidth_;  // what the rules read at load: the layout's width, whatever the frame
  bool ended_ = false;
  std::optional<std::string> userDataPath_;  // worked out once, when first asked for
};
