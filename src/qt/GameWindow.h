// The game's main window: the real menu bar built from the form's menu items, the playfield,
// message boxes, the cursor, and the real-time pump. It is the form's host; it holds no rule.
#pragma once

#include <QAction>
#include <QCursor>
#include <QMainWindow>
#include <functional>
#include <memory>
#include <vector>

#include "app/CommandLine.h"
#include "app/frmCavewing.h"
#include "form/Host.h"
#include "form/Random.h"
#include "qt/Playfield.h"
#include "qt/RealTimePump.h"
#include "replay/Recorder.h"
#include "replay/Replayer.h"

class PlayerInput;
class StandStill;

class GameWindow : public QMainWindow, public form::Host {
  Q_OBJECT
public:
  // With a recording, the window plays it back instead of recording a new one.
  explicit GameWindow(const CommandLine& options, const replay::Recording* replay = nullptr);
  ~GameWindow() override;

  frmCavewing& form() { return *form_; }
  Playfield* playfield() const { return playfield_; }
  RealTimePump& pump() { return *pump_; }
  PlayerInput& input() { return *input_; }
  StandStill& standStill() { return *standStill_; }
  QAction* actionFor(const form::MenuItem& item) const;
  // No one is at the window (the demo plays): message boxes are not shown, since no one would
  // close them and time stands still while one is open.
  bool unattended = false;

  // Hands the player's input to the form, at the grid point reached, and records it. During a
  // replay, the player's input stops the replay instead.
  void deliver(replay::Event event);
  // Runs one form event handler: time stands still while it runs, and the window catches up
  // with what it changed afterwards.
  void deliver(const std::function<void()>& handler);
  bool replaying() const { return replayer_ != nullptr; }
  const replay::Recorder* recorder() const { return recorder_.get(); }

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
  void buildMenuBar();
  // Runs a form event handler at the clock's time as it stands.
  void handleNow(const std::function<void()>& handler);
  // After a menu or a box, the keys go to the game again: to START while it shows, else the field.
  void returnKeyboard();
  void startRecording(const CommandLine& options);
  void startReplay();
  void stopReplay();
  void showReplayed(const replay::Event& event);
  std::int64_t grid() const { return form_->clock.now() / form_->clock.systemTick(); }
  bool syncWithForm();  // whether anything visible changed
  void syncMenus();

  const replay::Recording* replay_;  // the recording being played back, if any
  form::Random random_;
  std::unique_ptr<frmCavewing> form_;
  Playfield* playfield_;
  std::unique_ptr<RealTimePump> pump_;
  std::unique_ptr<PlayerInput> input_;  // declared after the form: destroyed before it
  struct MenuAction {
    QAction* action;
    const form::MenuItem* item;
    const form::MenuItem* menu;  // the menu bar entry that holds it
  };
  std::vector<MenuAction> menuActions_;
  QCursor customCursor_;
  StandStill* standStill_ = nullptr;
  std::unique_ptr<replay::Recorder> recorder_;
  std::unique_ptr<replay::Replayer> replayer_;
  float outerWidth_;  // what the rules read at load: the layout's width, whatever the frame
  bool ended_ = false;
};
