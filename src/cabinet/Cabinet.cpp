// SPDX-License-Identifier: MIT
// The cabinet's policies: where a sitting is kept, what a replay and the demo answer in place of
// the window, and the order of things at a grid point (timers, then a replay's recorded events,
// then the demo's moves).
#include "cabinet/Cabinet.h"

#include <algorithm>
#include <filesystem>
#include <memory>

#include "cabinet/Deliver.h"
#include "cabinet/Recorder.h"
#include "cabinet/Replayer.h"
#include "form/QuotedRecords.h"

namespace cabinet {

namespace {

// Where a sitting is kept: the games played since start-up, and the sitting that set the best
// score, in the player's data folder; `--record` names the first.
struct RecordingPlaces {
  std::string lastGame, bestGame;
};

RecordingPlaces recordingPlaces(form::Host& host, const std::string& recordFile) {
  const std::filesystem::path folder = host.UserDataPath();
  if (folder.empty()) return {recordFile, {}};
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return {recordFile.empty() ? (folder / "last-game").string() : recordFile,
          (folder / "best-game").string()};
}

}  // namespace

float Random::Rnd() {
  const float value = form::Random::Rnd();
  if (drawn_) drawn_(value);
  return value;
}

Cabinet::Cabinet(form::Host& frontEnd, const Sitting& sitting)
    : frontEnd_(frontEnd), sitting_(sitting), random_(sitting.seed), form_(*this, random_) {
  tendForm();
}

Cabinet::Cabinet(form::Host& frontEnd, const replay::Recording& recording)
    : frontEnd_(frontEnd),
      replayed_(&recording),
      sitting_{.seed = recording.seed,
               .wide = recording.wide(),
               .scoresFile = {},
               .recordFile = {},
               .demo = false},
      random_(recording.seed),
      form_(*this, random_, recording.systemTickUs) {
  // A replay never writes the player's high-score table.
  useThrowAwayTable();
  tendForm();
}

Cabinet::~Cabinet() = default;

void Cabinet::tendForm() {
  random_.watch([this](float value) {
    for (Observer* o : observers_) o->drawn(value);
  });
  form_.scoresFile = sitting_.scoresFile;
  form_.clock.afterGridPoint = [this] { afterGridPoint(); };
}

void Cabinet::freshForm() {
  std::destroy_at(&view_);
  std::destroy_at(&form_);
  std::construct_at(&form_, static_cast<form::Host&>(*this), random_);
  std::construct_at(&view_, form_);
  tendForm();
}

void Cabinet::load() {
  gameBegun_ = false;
  if (!replayed_) usePlayersTable();
  run([this] { form_.Form_Load(); });
  if (replayed_) {
    // Once the program has ended, nothing more reaches the form: not even the events recorded
    // later in the same grid point.
    replayer_ = std::make_unique<Replayer>(form_, *replayed_, [this] { return ended_; });
    deliverReplayed();
    return;
  }
  // The demo's sitting is not the player's: recorded only in the file asked for.
  if (!sitting_.demo || !sitting_.recordFile.empty()) startRecording();
  if (sitting_.demo) startDemo();
}

void Cabinet::startRecording() {
  // After loading: the seed is the one the time of day gave, unless one was asked for.
  replay::Recording header;
  header.systemTickUs = form_.clock.systemTick();
  header.seed = random_.Seed();
  header.outerWidth = form_.outerWidth;
  header.player = frmCavewing::UserNameFrom(*this);
  const RecordingPlaces places = recordingPlaces(*this, sitting_.recordFile);
  // The demo's games never set the player's best.
  recorder_ = std::make_unique<Recorder>(std::move(header), places.lastGame,
                                         sitting_.demo ? std::string() : places.bestGame);
}

void Cabinet::input(replay::Event event) {
  if (ended_) return;
  if (replayer_) {
    stopReplay();
    return;
  }
  play(std::move(event));
  if (everyGameAfresh_ && gameBegun_ && !demo_ && phase() == Phase::Ready)
    startOver(seedStartingOver_.value_or(random_.Seed()));
}

void Cabinet::play(replay::Event event) {
  event.grid = grid();
  if (recorder_) recorder_->record(event);
  run([&] { deliver(form_, event); });
}

void Cabinet::run(const std::function<void()>& handler) {
  if (ended_) return;
  {
    form::Clock::Delivery delivery(form_.clock);
    handler();
  }
  observe();
}

void Cabinet::advanceTo(std::int64_t us) {
  if (!ended_) form_.clock.advanceTo(us);
}

std::int64_t Cabinet::followRealTime(std::int64_t realUs, int allowedLag) {
  return form_.clock.followRealTime(realUs, allowedLag);
}

std::optional<std::int64_t> Cabinet::nextDue() const {
  const form::Clock& clock = form_.clock;
  if (ended_) return std::nullopt;
  if (demo_) return clock.now() + clock.systemTick();
  std::optional<std::int64_t> due =
      clock.nextDue([this](const form::Timer& t) { return tickActs(form_, t); });
  // A replayed event and the recording kept on disk are due at their grid points.
  for (const auto grid : {replayer_ ? replayer_->nextGrid() : std::nullopt,
                          recorder_ ? recorder_->nextSave() : std::nullopt}) {
    if (!grid) continue;
    const std::int64_t at =
        std::max(grid.value() * clock.systemTick(), clock.now() + clock.systemTick());
    due = std::min(due.value_or(at), at);
  }
  return due;
}

void Cabinet::afterGridPoint() {
  if (ended_) return;
  if (replayer_) deliverReplayed();
  if (demo_) demo_->step(form_, [this](const replay::Event& e) { play(e); });
  observe();
}

void Cabinet::deliverReplayed() {
  run([this] {
    replayer_->deliverDue([this](const replay::Event& e) {
      for (Observer* o : observers_) o->replayed(e);
    });
  });
}

void Cabinet::observe() {
  if (painted_) view_.follow();
  gameBegun_ |= phase() == Phase::Flying;
  if (recorder_ && !ended_ && recorder_->observe(form_, grid()) && !sitting_.demo)
    for (Observer* o : observers_)
      o->gameListed(recorder_->recording(), frmCavewing::ScoreValue(form_.lblScore.Caption));
  const bool listUp = form_.lblTitle.Visible;
  if (listUp && !listWasUp_ && !form_.throwAwayTable && !ended_)
    for (Observer* o : observers_) o->listShown();
  listWasUp_ = listUp;
}

void Cabinet::showTable(const std::string& text) {
  if (!form_.lblTitle.Visible || form_.throwAwayTable) return;
  using Rows = decltype(form_.lblName);
  constexpr std::size_t fieldCount = 2 * (Rows::last - Rows::first + 1);
  std::vector<std::string> fields = form::records::parse(text, fieldCount);
  fields.resize(fieldCount);
  form_.ListTable(form::records::format(fields));
  if (painted_) view_.follow();
}

bool Cabinet::replayOver() const { return !replayer_ || replayer_->finished(); }

void Cabinet::stopReplay() {
  replayer_.reset();
  // From here on the game is the player's: the player's name, the player's table.
  replayed_ = nullptr;
  leaveThrowAwayTable();
  run([this] { form_.mnuNew_Click(); });
}

void Cabinet::startDemo() {
  demo_.emplace();
  useThrowAwayTable();
  demo_->step(form_, [this](const replay::Event& e) { play(e); });
}

void Cabinet::stopDemo() {
  if (!demo_) return;
  demo_.reset();
  // The player's sitting: what a start-up without the demo would have been, from here on.
  sitting_.demo = false;
  sitting_.recordFile.clear();
  startOver(seedStartingOver_ ? seedStartingOver_ : sitting_.seed);
}

void Cabinet::startOver(std::optional<std::uint64_t> seed) {
  // What was recorded so far ends here (the demo's, if one was asked for).
  if (recorder_) recorder_->save(grid());
  recorder_.reset();
  sitting_.seed = seed;
  static_cast<form::Random&>(random_) = form::Random(sitting_.seed);
  freshForm();
  load();
  for (Observer* o : observers_) o->sittingBegan(random_.Seed());
}

// The table is read from and saved to a text in memory: no file is touched.
void Cabinet::useThrowAwayTable() {
  playersList_.clear();
  for (const auto* column : {&form_.lblName, &form_.lblScores})
    for (const form::Label& label : *column) playersList_.push_back(label.Caption);
  form_.throwAwayTable = std::string();
}

void Cabinet::leaveThrowAwayTable() {
  if (!form_.throwAwayTable) return;
  form_.throwAwayTable.reset();
  auto kept = playersList_.begin();
  for (auto* column : {&form_.lblName, &form_.lblScores})
    for (form::Label& label : *column) label.Caption = *kept++;
}

// The player's table, or one in memory for the sitting when it has no place on disk.
void Cabinet::usePlayersTable() {
  if (form_.highScorePath().empty())
    useThrowAwayTable();
  else
    form_.throwAwayTable.reset();
}

void Cabinet::MsgBox(const std::string& prompt, const std::string& title) {
  // No one is at the window while the demo plays: a box would wait for no one, and time stands
  // still while one is open.
  if (demo_) return;
  ++boxesShown_;
  frontEnd_.MsgBox(prompt, title);
}

void Cabinet::End() {
  if (ended_) return;
  if (recorder_) recorder_->save(grid());
  ended_ = true;
  frontEnd_.End();
}

// A recording names the rules' two outer widths in its own terms.
static_assert(replay::Recording::normalOuterWidth == frmCavewing::NormalOuterWidth &&
              replay::Recording::wideOuterWidth == frmCavewing::WideOuterWidth);

float Cabinet::OuterWidth() {
  // A replay plays at the recorded width, whatever the window it is shown in.
  return replayed_ ? replayed_->outerWidth : frontEnd_.OuterWidth();
}

std::string Cabinet::Environ(const std::string& name) {
  // A replay plays as the recorded player, until the player stops it.
  if (replayed_) return name == "NWUSERNAME" ? replayed_->player : std::string();
  return frontEnd_.Environ(name);
}

}  // namespace cabinet
