// SPDX-License-Identifier: MIT
// The host side of the cabinet: Qt widgets, dialogs and time, translated to and from the game.
#include "qt/GameWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QTime>
#include <QTimer>
#include <iostream>

#include "form/DataFolder.h"
#include "qt/PlayerInput.h"
#include "qt/StandStill.h"
#include "qt/TimingReport.h"
#include "qt/WindowState.h"
#include "start/Launch.h"

GameWindow::GameWindow(const CommandLine& options, const replay::Recording* replay)
    : cabinet_(replay ? std::make_unique<cabinet::Cabinet>(*this, *replay)
                      : std::make_unique<cabinet::Cabinet>(*this, sittingFrom(options))),
      // The rules read the layout's width, never the window's (a replay's is the recorded one).
      kit_(std::make_unique<cabinet::kit::Kit>(*cabinet_, static_cast<Screen&>(*this))),
      outerWidth_(options.wide ? frmCavewing::WideOuterWidth : frmCavewing::NormalOuterWidth) {
  setWindowTitle(" Cavewing");
  setWindowIcon(QIcon(":/assets/icon.png"));
  const QPixmap cursor(":/assets/cursor.png");
  customCursor_ = QCursor(cursor, cursor.width() / 2, cursor.height() / 2);

  const bool wide = cabinet_->wide();
  const float fieldWidth = wide ? frmCavewing::WideOuterWidth : frmCavewing::ScaleWidth;
  playfield_ = new Playfield(form(), fieldWidth, this);
  setCentralWidget(playfield_);
  buildMenuBar();
  speaker_ = new Speaker(*this, options.mute);
  hideGhost_ = new KeptSwitch(*this, "Hide Ghost", cabinet::kit::GhostHiddenSetting, Qt::Key_F9,
                              options.noGhost);
  kit_->showGhost(!hideGhost_->isChecked());
  connect(hideGhost_, &QAction::toggled, this,
          [this](bool hidden) { drive([&] { kit_->showGhost(!hidden); }); });
  if (options.ghost) kit_->setGhost(cabinet::kit::Ghost(*options.ghost));
  input_ = std::make_unique<PlayerInput>(*this, *playfield_, *kit_, [this] { timePress(); });
  playfield_->startButton()->installEventFilter(this);
  connect(playfield_->startButton(), &QPushButton::clicked, this,
          [this] { deliver(replay::Event{.kind = replay::Event::Kind::Start}); });
  resize(playfield_->sizeHint().width(),
         playfield_->sizeHint().height() + menuBar()->sizeHint().height());

  // While the display's frames run, each shows what changed since the last: the pump only moves
  // the clock, and working out the picture between frames would be work thrown away.
  pump_ = std::make_unique<RealTimePump>(
      *kit_, [this] { return pacer_ && pacer_->running() ? false : syncWithForm(); });
  // The picture is painted on the display's beat, what moves drawn between grid points.
  pacer_ = new FramePacer(
      *this, [this] { return pump_->realUs(); },
      [this](std::int64_t us) {
        return frame(pump_->running() ? std::optional(us) : std::nullopt);
      });
  playfield_->paintFrames(cabinet_->view(), [this] { pacer_->request(); });
  drive([this] { kit_->load(); });
  // The remembered size and place only scale the picture: the rules read the layout's width.
  new WindowState(*this, wide);
  standStill_ = new StandStill(*this, *kit_, [this] { return pump_->running(); });
  if (!ended_) pump_->start();
}

GameWindow::~GameWindow() {
  // The window's watchers go first: the base class's destructor still sends events (the window
  // hides and loses the focus), which must not reach them with this window half gone.
  delete standStill_;
  delete findChild<WindowState*>();
}

void GameWindow::buildMenuBar() {
  QMenu* menu = nullptr;
  for (const cabinet::kit::MenuEntry& entry : cabinet::kit::menuEntries(form())) {
    const form::MenuItem& item = *entry.item;
    if (entry.depth == 0 && !item.Items.empty()) {
      menu = menuBar()->addMenu(QString::fromStdString(item.Caption));
      // Once the menu has closed, by Esc too: the menu bar would keep the keys otherwise.
      connect(menu, &QMenu::aboutToHide, this,
              [this] { QTimer::singleShot(0, this, &GameWindow::returnKeyboard); });
      menuActions_.push_back({menu->menuAction(), entry});
      continue;
    }
    if (item.IsSeparator()) {
      menu->addSeparator();
      continue;
    }
    QWidget* owner = entry.depth == 0 ? static_cast<QWidget*>(menuBar()) : menu;
    QAction* action = new QAction(QString::fromStdString(item.Caption), owner);
    if (!item.Shortcut.empty()) {
      action->setShortcut(QKeySequence(QString::fromStdString(item.Shortcut)));
      action->setShortcutContext(Qt::WindowShortcut);
    }
    connect(action, &QAction::triggered, this, [this, name = entry.name] {
      deliver(replay::Event{.kind = replay::Event::Kind::Menu, .name = name});
    });
    owner->addAction(action);
    menuActions_.push_back({action, entry});
  }
}

QAction* GameWindow::actionFor(const form::MenuItem& item) const {
  for (const auto& m : menuActions_)
    if (m.entry.item == &item) return m.action;
  return nullptr;
}

void GameWindow::deliver(const replay::Event& event) {
  if (!ended_) kit_->input(event);
}

void GameWindow::timePress() {
  if (timing_report::enabled() && cabinet_->phase() == Phase::Flying) pressedUs_ = pump_->realUs();
}

void GameWindow::beforeInput() {
  if (pump_) pump_->catchUp();
}

void GameWindow::timeStands(bool standing) {
  if (standing)
    pump_->stop();
  else
    pump_->start();
}

void GameWindow::drive(const std::function<void()>& change) {
  if (ended_) return;
  if (pump_) pump_->catchUp();
  change();
  syncWithForm();
}

bool GameWindow::frame(std::optional<std::int64_t> realUs) {
  if (ended_) return false;
  // A handler runs (waits in a message box): the frame shows what it has so far.
  const bool following = realUs && !cabinet_->clock().delivering();
  const double fraction = following ? kit_->followFrame(*realUs, form::Clock::stallGridPoints) : 1;
  speaker_->sounds().follow(*kit_);
  syncMenus();
  playfield_->showOverlays(kit_->overlays());
  const bool changed = playfield_->showFrame(fraction);
  // The first frame that draws the helicopter higher than the last one shows the climb.
  const float copterTop = cabinet_->view().position(form().imgCopter, fraction).Top;
  if (pressedUs_ && copterTop < drawnCopterTop_) {
    timing_report::pressToPicture(pump_->realUs() - *pressedUs_);
    pressedUs_.reset();
  }
  drawnCopterTop_ = copterTop;
  return changed || (following && cabinet_->phase() == Phase::Flying);
}

bool GameWindow::syncWithForm() {
  if (ended_) return false;
  speaker_->sounds().follow(*kit_);
  syncMenus();
  playfield_->showOverlays(kit_->overlays());
  return playfield_->syncWithForm();
}

void GameWindow::syncMenus() {
  for (const auto& m : menuActions_) m.action->setEnabled(cabinet::kit::enabled(m.entry));
}

void GameWindow::MsgBox(const std::string& prompt, const std::string& title) {
  // The picture is brought up to date before the box opens, whether the window is active or
  // not: the new high score's list is on screen under its box, not the crash banner.
  syncWithForm();
  playfield_->repaint();
  speaker_->sounds().boxOpens(title);
  QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(title),
                  QString::fromStdString(prompt), QMessageBox::Ok, this);
  box.exec();
  returnKeyboard();
}

void GameWindow::returnKeyboard() {
  QPushButton* start = playfield_->startButton();
  (start->isVisible() ? static_cast<QWidget*>(start) : playfield_)->setFocus(Qt::OtherFocusReason);
}

void GameWindow::End() {
  ended_ = true;
  if (pump_) pump_->stop();
  // The last window closing ends the application's event loop.
  close();
}

std::string GameWindow::AppPath() { return QCoreApplication::applicationDirPath().toStdString(); }

std::string GameWindow::UserDataPath() {
  // Once: the environment stays as it was, and a missing home is said once.
  if (!userDataPath_)
    userDataPath_ = form::userDataFolder(
        QApplication::applicationName().toStdString(),
        [this](const std::string& name) { return Environ(name); }, std::cerr);
  return *userDataPath_;
}

std::string GameWindow::Environ(const std::string& name) {
  return qEnvironmentVariable(name.c_str()).toStdString();
}

void GameWindow::Show() {
  show();
  raise();
}

float GameWindow::OuterWidth() { return outerWidth_; }

void GameWindow::SetFocus(const form::CommandButton&) { playfield_->startButton()->setFocus(); }

void GameWindow::SetMousePointer(form::MousePointer pointer) {
  // Every press in flight asks for the flight's pointer again: the window system hears only of
  // a change, each of which costs it a round of work.
  const bool custom = pointer == form::MousePointer::Custom;
  if (custom == playfield_->testAttribute(Qt::WA_SetCursor)) return;
  if (custom)
    playfield_->setCursor(customCursor_);
  else
    playfield_->unsetCursor();
}

double GameWindow::Timer() { return QTime::currentTime().msecsSinceStartOfDay() / 1000.0; }

void GameWindow::closeEvent(QCloseEvent* event) {
  if (!ended_) {
    // A close during a replay stops the replay first; the window goes all the same.
    const replay::Event close{.kind = replay::Event::Kind::Close};
    deliver(close);
    if (!ended_) deliver(close);
  }
  event->accept();
}

bool GameWindow::eventFilter(QObject* watched, QEvent* event) {
  // Enter clicks the focused START button, as Space does.
  if (watched == playfield_->startButton() && event->type() == QEvent::KeyPress) {
    const int key = static_cast<QKeyEvent*>(event)->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      playfield_->startButton()->click();
      return true;
    }
  }
  return QMainWindow::eventFilter(watched, event);
}
