// The host side of the form: Qt widgets, dialogs and time, translated to and from the form.
#include "qt/GameWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTime>
#include <QTimer>

#include "qt/PlayerInput.h"
#include "qt/StandStill.h"
#include "qt/WindowState.h"
#include "replay/Deliver.h"

GameWindow::GameWindow(const CommandLine& options, const replay::Recording* replay)
    : replay_(replay),
      random_(replay ? std::optional(replay->seed) : options.seed),
      form_(std::make_unique<frmCavewing>(
          *this, random_, replay ? replay->systemTickUs : form::Clock::defaultSystemTickUs)) {
  // A replay never touches the player's high-score table.
  form_->scoresFile = options.scoresFile;
  if (replay) form_->throwAwayTable = std::string();
  const bool wide = replay ? replay->wide() : options.wide;
  // The rules read the layout's width, never the window's: a replay plays at the recorded one.
  outerWidth_ = replay         ? replay->outerWidth
                : options.wide ? frmCavewing::WideOuterWidth
                               : frmCavewing::NormalOuterWidth;
  setWindowTitle(" Cavewing");
  setWindowIcon(QIcon(":/assets/icon.png"));
  const QPixmap cursor(":/assets/cursor.png");
  customCursor_ = QCursor(cursor, cursor.width() / 2, cursor.height() / 2);

  const float fieldWidth = wide ? frmCavewing::WideOuterWidth : frmCavewing::ScaleWidth;
  playfield_ = new Playfield(*form_, fieldWidth, this);
  setCentralWidget(playfield_);
  buildMenuBar();
  input_ = std::make_unique<PlayerInput>(*this);
  playfield_->startButton()->installEventFilter(this);
  connect(playfield_->startButton(), &QPushButton::clicked, this,
          [this] { deliver(replay::Event{.kind = replay::Event::Kind::Start}); });
  resize(playfield_->sizeHint().width(),
         playfield_->sizeHint().height() + menuBar()->sizeHint().height());

  pump_ = std::make_unique<RealTimePump>(form_->clock, [this] { return syncWithForm(); });
  deliver([this] { form_->Form_Load(); });
  // The remembered size and place only scale the picture: the rules read outerWidth_ alone.
  new WindowState(*this, wide);
  standStill_ = new StandStill(*this);
  // The demo's games are not the player's: they are recorded only in the file asked for.
  if (replay)
    startReplay();
  else if (!options.demo || !options.recordFile.empty())
    startRecording(options);
  if (!ended_) pump_->start();
}

void GameWindow::startRecording(const CommandLine& options) {
  replay::Recording header;
  header.systemTickUs = form_->clock.systemTick();
  header.seed = random_.Seed();
  header.outerWidth = form_->outerWidth;
  header.player = frmCavewing::UserNameFrom(*this);
  const QString folder = QString::fromStdString(UserDataPath());
  QDir().mkpath(folder);
  const std::string last =
      options.recordFile.empty() ? (folder + "/last-game").toStdString() : options.recordFile;
  const std::string best = options.demo ? std::string() : (folder + "/best-game").toStdString();
  recorder_ = std::make_unique<replay::Recorder>(std::move(header), last, best);
}

void GameWindow::startReplay() {
  replayer_ = std::make_unique<replay::Replayer>(*form_, *replay_, [this] { return ended_; });
  auto feed = [this] {
    replayer_->deliverDue([this](const replay::Event& e) { showReplayed(e); });
    if (replayer_->finished()) form_->clock.afterGridPoint = nullptr;
  };
  feed();
  form_->clock.afterGridPoint = feed;
  playfield_->showBadge("REPLAY");
  syncWithForm();
}

void GameWindow::stopReplay() {
  form_->clock.afterGridPoint = nullptr;
  replayer_.reset();
  playfield_->showReplayPress(std::nullopt);
  playfield_->showBadge({});
  deliver([this] { form_->mnuNew_Click(); });
}

void GameWindow::showReplayed(const replay::Event& e) {
  using Kind = replay::Event::Kind;
  if (e.kind == Kind::Down) {
    const form::Image& copter = form_->imgCopter;
    // A press on the helicopter was recorded where it lay on the helicopter.
    playfield_->showReplayPress(e.onCopter ? QPointF(copter.Left + e.x, copter.Top + e.y)
                                           : QPointF(e.x, e.y));
  } else if (e.kind == Kind::Up || e.kind == Kind::Release) {
    playfield_->showReplayPress(std::nullopt);
  }
}

GameWindow::~GameWindow() {
  // The window's watchers go first: the base class's destructor still sends events (the window
  // hides and loses the focus), which must not reach them with this window half gone.
  delete standStill_;
  delete findChild<WindowState*>();
}

void GameWindow::buildMenuBar() {
  for (form::MenuItem* entry : form_->menuBar) {
    auto addAction = [this, entry](QWidget* owner, form::MenuItem* item) {
      QAction* action = new QAction(QString::fromStdString(item->Caption), owner);
      if (!item->Shortcut.empty()) {
        action->setShortcut(QKeySequence(QString::fromStdString(item->Shortcut)));
        action->setShortcutContext(Qt::WindowShortcut);
      }
      connect(action, &QAction::triggered, this, [this, item] {
        deliver(replay::Event{.kind = replay::Event::Kind::Menu, .name = item->Name});
      });
      owner->addAction(action);
      menuActions_.push_back({action, item, entry});
    };
    if (entry->Items.empty()) {
      addAction(menuBar(), entry);
      continue;
    }
    QMenu* menu = menuBar()->addMenu(QString::fromStdString(entry->Caption));
    // Once the menu has closed, by Esc too: the menu bar would keep the keys otherwise.
    connect(menu, &QMenu::aboutToHide, this,
            [this] { QTimer::singleShot(0, this, &GameWindow::returnKeyboard); });
    menuActions_.push_back({menu->menuAction(), entry, entry});
    for (form::MenuItem* item : entry->Items) {
      if (item->IsSeparator())
        menu->addSeparator();
      else
        addAction(menu, item);
    }
  }
}

QAction* GameWindow::actionFor(const form::MenuItem& item) const {
  for (const auto& m : menuActions_)
    if (m.item == &item) return m.action;
  return nullptr;
}

void GameWindow::deliver(replay::Event event) {
  if (ended_) return;
  if (replayer_) {
    stopReplay();
    return;
  }
  if (pump_) pump_->catchUp();
  event.grid = grid();
  if (recorder_) recorder_->record(event);
  // Handled at the grid point it was recorded at: no second catching up in between.
  handleNow([&] { replay::deliver(*form_, event); });
}

void GameWindow::deliver(const std::function<void()>& handler) {
  if (ended_) return;
  if (pump_) pump_->catchUp();
  handleNow(handler);
}

void GameWindow::handleNow(const std::function<void()>& handler) {
  {
    form::Clock::Delivery delivery(form_->clock);
    handler();
  }
  syncWithForm();
}

bool GameWindow::syncWithForm() {
  if (ended_) return false;
  syncMenus();
  if (recorder_) recorder_->observe(*form_, grid());
  return playfield_->syncWithForm();
}

void GameWindow::syncMenus() {
  // A disabled menu disables its items, and with them their shortcuts.
  for (const auto& m : menuActions_) m.action->setEnabled(m.item->Enabled && m.menu->Enabled);
}

void GameWindow::MsgBox(const std::string& prompt, const std::string& title) {
  if (unattended) return;
  // The picture is brought up to date before the box opens, whether the window is active or
  // not: the new high score's list is on screen under its box, not the crash banner.
  syncMenus();
  playfield_->syncWithForm();
  playfield_->repaint();
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
  if (recorder_) recorder_->save(grid());
  ended_ = true;
  if (pump_) pump_->stop();
  // The last window closing ends the application's event loop.
  close();
}

std::string GameWindow::AppPath() { return QCoreApplication::applicationDirPath().toStdString(); }

std::string GameWindow::UserDataPath() {
  return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation).toStdString();
}

std::string GameWindow::Environ(const std::string& name) {
  // A replay plays as the recorded player.
  if (replay_) return name == "NWUSERNAME" ? replay_->player : std::string();
  return qEnvironmentVariable(name.c_str()).toStdString();
}

void GameWindow::Show() {
  show();
  raise();
}

float GameWindow::OuterWidth() { return outerWidth_; }

void GameWindow::SetFocus(const form::CommandButton&) { playfield_->startButton()->setFocus(); }

void GameWindow::SetMousePointer(form::MousePointer pointer) {
  if (pointer == form::MousePointer::Custom)
    playfield_->setCursor(customCursor_);
  else
    playfield_->unsetCursor();
}

double GameWindow::Timer() { return QTime::currentTime().msecsSinceStartOfDay() / 1000.0; }

void GameWindow::closeEvent(QCloseEvent* event) {
  if (!ended_) {
    deliver(replay::Event{.kind = replay::Event::Kind::Close});
    // A close during a replay stops the replay first; the window goes all the same.
    if (!ended_) deliver([this] { form_->Form_Unload(); });
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
