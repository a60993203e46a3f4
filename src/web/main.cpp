// SPDX-License-Identifier: MIT
// The browser front end: hosts the cabinet in a web page. The page (src/web/cavewing.js) owns
// the canvas, the menu bar, the START button and the dialogs; it calls the functions exported
// here with real time and the player's input, and this side paints the form's controls through
// the page's drawing functions. It holds no rule: the cabinet drives the game.
#include <emscripten.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <optional>
#include <sstream>
#include <string>

#include "cabinet/Cabinet.h"
#include "cabinet/Paint.h"
#include "cabinet/kit/Keys.h"
#include "cabinet/kit/Kit.h"
#include "cabinet/kit/Menus.h"
#include "cabinet/kit/Numbers.h"
#include "cabinet/kit/Result.h"
#include "cabinet/kit/ScoreServer.h"
#include "cabinet/kit/Sounds.h"
#include "start/Launch.h"

// The page's side, in src/web/cavewing.js.
EM_ASYNC_JS(void, pageMessageBox, (const char* prompt, const char* title),
            { await Module.cavewing.messageBox(UTF8ToString(prompt), UTF8ToString(title)); });
EM_JS(void, pageEnded, (const char* why), { Module.cavewing.ended(UTF8ToString(why)); });
EM_JS(void, pageRectangle, (float l, float t, float w, float h, int fill, int border),
      { Module.cavewing.rectangle(l, t, w, h, fill, border); });
EM_JS(void, pagePicture, (float l, float t, int picture),
      { Module.cavewing.picture(l, t, picture); });
EM_JS(void, pageLabel,
      (float l, float t, float w, float h, const char* text, const char* font, float size, int bold,
       int underline, int colour, int align, int boxed),
      {
        Module.cavewing.label(l, t, w, h, UTF8ToString(text), UTF8ToString(font), size, bold,
                              underline, colour, align, boxed);
      });
EM_JS(void, pageStartButton,
      (int visible, int enabled, const char* caption, float l, float t, float w, float h,
       const char* font, float size, int bold),
      {
        Module.cavewing.startButton(visible, enabled, UTF8ToString(caption), l, t, w, h,
                                    UTF8ToString(font), size, bold);
      });
EM_JS(void, pageMenu, (const char* name, const char* caption, const char* shortcut, int depth), {
  Module.cavewing.addMenu(UTF8ToString(name), UTF8ToString(caption), UTF8ToString(shortcut), depth);
});
EM_JS(void, pageMenuEnabled, (const char* name, int enabled),
      { Module.cavewing.menuEnabled(UTF8ToString(name), enabled); });
EM_JS(void, pageField, (float width, float height), { Module.cavewing.field(width, height); });
// `note`: the start screen's (today's cave's best), drawn where the badge would be. The ghost
// (`ghost` 0: none) comes last: a page that does not draw it yet takes the rest alike.
EM_JS(void, pageOverlays,
      (const char* badge, const char* hint, int ring, float x, float y, int standStill,
       const char* note, int ghost, float ghostLeft, float ghostTop, int ghostPicture),
      {
        Module.cavewing.overlays(UTF8ToString(badge), UTF8ToString(hint), ring, x, y, standStill,
                                 UTF8ToString(note), ghost, ghostLeft, ghostTop, ghostPicture);
      });
EM_JS(void, pageBegin, (), { Module.cavewing.begin(); });
EM_JS(void, pageFinish, (), { Module.cavewing.finish(); });
EM_JS(void, pageFocusStart, (), { Module.cavewing.focusStart(); });
EM_JS(void, pageCursor, (int custom), { Module.cavewing.cursor(custom); });
EM_JS(int, pageKeep, (const char* path), { return Module.cavewing.keep(UTF8ToString(path)); });
EM_JS(void, pageRefresh, (const char* path), { Module.cavewing.refresh(UTF8ToString(path)); });
// The score server the page came from, through fetch(); the answer comes back in cavewing_answer.
EM_JS(void, pageSend, (int id, const char* path, int post, const char* body, int timeoutMs),
      { Module.cavewing.send(id, UTF8ToString(path), post, UTF8ToString(body), timeoutMs); });
EM_JS(void, pageSittingAsked, (), { Module.cavewing.sittingAsked(); });
EM_JS(void, pageReplay, (const char* recording),
      { Module.cavewing.replay(UTF8ToString(recording)); });
EM_JS(void, pageSay, (const char* text), { Module.cavewing.say(UTF8ToString(text)); });
// The page's sounds (src/web/page/sound.js), made by Web Audio; none before it has loaded.
EM_JS(void, pageLoop, (int sound, int on), {
  if (globalThis.cavewingSound) globalThis.cavewingSound.loop(sound, on);
});
EM_JS(void, pagePlay, (int sound), {
  if (globalThis.cavewingSound) globalThis.cavewingSound.play(sound);
});
EM_JS(int, pageMuted, (),
      { return globalThis.cavewingSound && globalThis.cavewingSound.muted() ? 1 : 0; });
// The options the page's address gives, by name: a flag is set or not, a value is handed over
// whole, whatever it holds (-1 bytes: not given).
EM_JS(int, pageFlag, (const char* name),
      { return Module.cavewing.options[UTF8ToString(name)] ? 1 : 0; });
EM_JS(int, pageValueBytes, (const char* name), {
  const value = Module.cavewing.options[UTF8ToString(name)];
  return typeof value == 'string' ? lengthBytesUTF8(value) : -1;
});
EM_JS(void, pageValue, (const char* name, char* to, int size),
      { stringToUTF8(Module.cavewing.options[UTF8ToString(name)], to, size); });

namespace {

int rgb(form::Color c) { return (c.r << 16) | (c.g << 8) | c.b; }

class PagePainter : public cabinet::Painter {
public:
  void rectangle(const form::Shape& s) override {
    pageRectangle(s.Left, s.Top, s.Width, s.Height, rgb(s.FillColor), rgb(s.BorderColor));
  }
  void picture(const form::Image& i) override { pagePicture(i.Left, i.Top, int(i.Picture)); }
  void label(const form::Label& l) override {
    pageLabel(l.Left, l.Top, l.Width, l.Height, l.Caption.c_str(), l.Font.Name.c_str(), l.Font.Size,
              l.Font.Bold, l.Font.Underline, rgb(l.ForeColor), int(l.Alignment), l.Boxed);
  }
};

// What a frame shows, as bytes: a frame with the last one's key need not be painted again.
struct PictureKey : cabinet::Painter {
  std::string bytes;
  void rectangle(const form::Shape& s) override {
    add('r', s.Left, s.Top, s.Width, s.Height, rgb(s.FillColor), rgb(s.BorderColor));
  }
  void picture(const form::Image& i) override { add('p', i.Left, i.Top, int(i.Picture)); }
  void label(const form::Label& l) override {
    add('l', l.Left, l.Top, l.Width, l.Height, rgb(l.ForeColor), int(l.Alignment), l.Boxed,
        l.Font.Size, l.Font.Bold, l.Font.Underline);
    text(l.Caption);
    text(l.Font.Name);
  }
  template <class... Value>
  void add(char kind, Value... values) {
    bytes += kind;
    (bytes.append(reinterpret_cast<const char*>(&values), sizeof values), ...);
  }
  void text(const std::string& t) {
    add('t', t.size());
    bytes += t;
  }
};

// The front end of one sitting (or one replay) in the page.
class WebFrontEnd : public form::Host,
                    private cabinet::kit::Kit::Screen,
                    private cabinet::kit::Speaker {
public:
  WebFrontEnd(const CommandLine& options, const replay::Recording* recording, std::string player)
      : recording_(recording ? std::make_unique<replay::Recording>(*recording) : nullptr),
        player_(std::move(player)),
        outerWidth_(options.wide ? frmCavewing::WideOuterWidth : frmCavewing::NormalOuterWidth) {
    cabinet_ = recording_ ? std::make_unique<cabinet::Cabinet>(*this, *recording_)
                          : std::make_unique<cabinet::Cabinet>(*this, sittingFrom(options));
    kit_ = std::make_unique<cabinet::kit::Kit>(*cabinet_, static_cast<Screen&>(*this));
  }

  void open() {
    pageField(cabinet_->wide() ? frmCavewing::WideOuterWidth : frmCavewing::ScaleWidth,
              frmCavewing::ScaleHeight);
    for (const cabinet::kit::MenuEntry& entry : cabinet::kit::menuEntries(form()))
      pageMenu(entry.name.c_str(), entry.item->Caption.c_str(), entry.item->Shortcut.c_str(),
               entry.depth);
    kit_->load();
    loaded_ = true;
  }

  const cabinet::Cabinet& cabinet() const { return *cabinet_; }
  cabinet::Cabinet& served() { return *cabinet_; }
  const frmCavewing& form() const { return cabinet_->form(); }
  cabinet::kit::Kit& kit() { return *kit_; }
  cabinet::kit::Sounds& sounds() { return sounds_; }
  bool ended() const { return ended_; }

  // A frame of the display at real time (requestAnimationFrame's own timestamp, in microseconds
  // since the page loaded): the game follows it on its grid, and the frame is painted only when
  // its picture changed. Nothing is painted while the field stands still.
  void frame(double realUs) {
    if (ended_) return;
    fraction_ = kit_->followFrame(std::int64_t(realUs), allowedLag());
    sounds_.follow(*kit_);
    if (keep(pictureKey())) draw();
  }
  // The picture now, whether it changed or not (the canvas was cleared, or a box opens over it).
  void paint() {
    if (ended_) return;
    keep(pictureKey());
    draw();
  }
  // How many frames the page has painted, and where the last one drew the helicopter.
  int painted() const { return painted_; }
  float drawnCopterTop() const {
    return cabinet_->view().position(form().imgCopter, fraction_).Top;
  }

  // A stall is a lag of stallGridPoints at the usual grid, counted in this sitting's own grid
  // points: the page's frames come every 16 ms or so, several grid points of a finer grid.
  int allowedLag() const {
    const std::int64_t stallUs = form::Clock::stallGridPoints * form::Clock::defaultSystemTickUs;
    const std::int64_t tick = cabinet_->clock().systemTick();
    return int(std::max<std::int64_t>(form::Clock::stallGridPoints, (stallUs + tick - 1) / tick));
  }

  void deliver(const replay::Event& event) {
    if (!ended_) kit_->input(event);
  }

  // form::Host
  void MsgBox(const std::string& prompt, const std::string& title) override {
    // The picture is brought up to date before the box opens: the list under its box.
    paint();
    sounds_.boxOpens(title);
    pageMessageBox(prompt.c_str(), title.c_str());
  }
  void End() override {
    ended_ = true;
    pageEnded("");
  }
  // A folder the game cannot write: the table lives with the player's data, which the page keeps.
  std::string AppPath() override { return "/cavewing"; }
  std::string UserDataPath() override { return "/data"; }
  std::string Environ(const std::string& name) override {
    return name == "NWUSERNAME" ? player_ : std::string();
  }
  void Show() override {}
  float OuterWidth() override { return outerWidth_; }
  void SetFocus(const form::CommandButton&) override { pageFocusStart(); }
  void SetMousePointer(form::MousePointer pointer) override {
    pageCursor(pointer == form::MousePointer::Custom);
  }
  // Seconds since local midnight, to the millisecond, as the desktop's clock gives them.
  double Timer() override {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    return local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + double(ms) / 1000;
  }
  // The page's files live in memory: one about to be read and saved again is brought in from the
  // browser's storage (another tab may have kept it since), and a save is kept once the storage
  // holds it.
  void Refresh(const std::string& path) override { pageRefresh(path.c_str()); }
  bool Persist(const std::string& path, std::string& error) override {
    if (pageKeep(path.c_str())) return true;
    error = "the browser would not keep " + path;
    return false;
  }

private:
  void draw() {
    ++painted_;
    const cabinet::kit::Overlays& o = kit_->overlays();
    const cabinet::kit::GhostAt ghost = o.ghost.value_or(cabinet::kit::GhostAt{});
    pageOverlays(o.badge.c_str(), o.hint.c_str(), o.ringX.has_value(), o.ringX.value_or(0),
                 o.ringY.value_or(0), o.standStill, o.startNote.c_str(), o.ghost.has_value(),
                 ghost.left, ghost.top, int(ghost.picture));
    pageBegin();
    PagePainter painter;
    cabinet::paint(form(), cabinet_->view(), fraction_, painter);
    const form::CommandButton& b = form().cmdStart;
    pageStartButton(b.Visible, b.Enabled, b.Caption.c_str(), b.Left, b.Top, b.Width, b.Height,
                    b.Font.Name.c_str(), b.Font.Size, b.Font.Bold);
    for (const cabinet::kit::MenuEntry& entry : cabinet::kit::menuEntries(form()))
      if (!entry.name.empty()) pageMenuEnabled(entry.name.c_str(), cabinet::kit::enabled(entry));
    pageFinish();
  }
  // Everything a frame shows: the form's state, and in flight where the view draws it between
  // grid points (out of flight it draws the state), the overlays, START and the menus.
  std::string pictureKey() const {
    PictureKey key;
    cabinet::paint(form(), key);
    if (cabinet_->phase() == Phase::Flying) key.add('v', cabinet_->grid(), fraction_);
    const cabinet::kit::Overlays& o = kit_->overlays();
    key.text(o.badge);
    key.text(o.hint);
    key.text(o.startNote);
    key.add('o', o.ringX.value_or(-1), o.ringY.value_or(-1), o.standStill);
    if (o.ghost) key.add('g', o.ghost->left, o.ghost->top, int(o.ghost->picture));
    const form::CommandButton& b = form().cmdStart;
    key.add('b', b.Visible, b.Enabled, b.Left, b.Top, b.Width, b.Height);
    key.text(b.Caption);
    for (const cabinet::kit::MenuEntry& entry : cabinet::kit::menuEntries(form()))
      key.add('m', cabinet::kit::enabled(entry));
    return std::move(key.bytes);
  }
  // Keeps the picture about to be shown; returns whether it differs from the last one.
  bool keep(std::string key) {
    if (key == shown_) return false;
    shown_ = std::move(key);
    return true;
  }

  // cabinet::kit::Kit::Screen: the page's frames follow real time unless flight stands still.
  // Input paints at once only what it changed (a press in flight changes nothing yet); the loaded
  // game waits for the first frame, so that opening and the first painting are two tasks of the
  // page, not one long one.
  void changed() override {
    sounds_.follow(*kit_);
    if (loaded_ && !ended_ && keep(pictureKey())) draw();
  }
  void timeStands(bool) override {}
  // cabinet::kit::Speaker
  void loop(cabinet::kit::Sound sound, bool on) override { pageLoop(int(sound), on); }
  void play(cabinet::kit::Sound sound) override { pagePlay(int(sound)); }

  std::unique_ptr<replay::Recording> recording_;
  std::string player_;
  float outerWidth_;
  std::unique_ptr<cabinet::Cabinet> cabinet_;
  std::unique_ptr<cabinet::kit::Kit> kit_;
  cabinet::kit::Sounds sounds_{*this, bool(pageMuted())};
  bool ended_ = false;
  double fraction_ = 1;  // how far along its step the last frame was
  std::string shown_;    // the key of the picture on the canvas
  int painted_ = 0;
  bool loaded_ = false;
};

// Requests to the score server by the page's fetch(), each answered once by its number.
class PageTransport : public cabinet::kit::Transport {
public:
  void send(const std::string& path, bool post, const std::string& body, int timeoutMs,
            std::function<void(const cabinet::kit::Answer&)> answered) override {
    const int id = ++last_;
    waiting_.emplace(id, std::move(answered));
    pageSend(id, path.c_str(), post, body.c_str(), timeoutMs);
  }
  void answer(int id, int status, std::string body) {
    const auto it = waiting_.find(id);
    if (it == waiting_.end()) return;
    const auto answered = std::move(it->second);
    waiting_.erase(it);
    answered(cabinet::kit::Answer{status, std::move(body)});
  }

private:
  int last_ = 0;
  std::map<int, std::function<void(const cabinet::kit::Answer&)>> waiting_;
};

// The one sitting in the page: the page's calls reach it only through the functions below.
std::unique_ptr<WebFrontEnd> sitting;
PageTransport transport;
cabinet::kit::ScoreServer scoreServer(transport);
std::optional<std::uint64_t> serverSeed;  // the seed the score server gave the page's sitting

std::optional<std::string> pageOption(const char* name) {
  const int bytes = pageValueBytes(name);
  if (bytes < 0) return std::nullopt;
  std::string value(std::size_t(bytes) + 1, '\0');  // room for stringToUTF8's terminator
  pageValue(name, value.data(), int(value.size()));
  value.pop_back();
  return value;
}

// What the page's address asks for (?seed=N, ?wide, ?demo, a recording to replay), checked as
// the program's command line is.
CommandLine pageOptions() {
  return CommandLine::checked(CommandLine::Given{.wide = bool(pageFlag("wide")),
                                                 .demo = bool(pageFlag("demo")),
                                                 .seed = pageOption("seed"),
                                                 .replay = pageOption("replay")});
}

// A game of the score server played back as a recording opened on the page, or why it cannot be.
void playBack(std::optional<std::string> recording, const std::string& why) {
  if (recording)
    pageReplay(recording->c_str());
  else
    pageSay(why.c_str());
}

}  // namespace

extern "C" {

// Opens a sitting for the options the page's address gives, as the player
// `name`; returns the launcher's status, or -1 while the window is open.
EMSCRIPTEN_KEEPALIVE int cavewing_open(const char* name) {
  scoreServer.detach();
  sitting.reset();
  std::ostringstream out, err;
  const int status =
      launch(pageOptions(), out, err, [name](const CommandLine& given, const replay::Recording* r) {
        CommandLine options = given;
        if (!options.seed && !r && !options.demo) options.seed = serverSeed;
        sitting = std::make_unique<WebFrontEnd>(options, r, name);
        // A replay is nobody's sitting: nothing of it goes to the server.
        if (!r)
          scoreServer.attach(sitting->served(), *sitting, [] {
            if (sitting) sitting->paint();
          });
        // Today's cave: the day's best on the start screen, and as the ghost.
        if (!r && scoreServer.todaysCave())
          scoreServer.onDaysBest([](const cabinet::kit::DaysBest& best) {
            if (sitting) sitting->kit().flyAgainst(best);
          });
        sitting->open();
        return -1;
      });
  if (status != -1) pageEnded((out.str() + err.str()).c_str());
  return status;
}

// Asks the score server that `served` the page for a sitting for the player `name`, as the kit
// says a sitting asks (not for a cave the address chose with ?seed=, a replay or the demo):
// returns 1 when it asked, and the page opens the sitting once pageSittingAsked() says the answer
// (or its absence) is in.
EMSCRIPTEN_KEEPALIVE int cavewing_ask_sitting(const char* name, int served) {
  const CommandLine options = pageOptions();
  if (options.action != CommandLine::Action::Play ||
      !cabinet::kit::ScoreServer::asks(served, sittingFrom(options), !options.replayFile.empty()))
    return 0;
  // The page knows its player by the one name its address or settings gave, whatever variable
  // the rules look it up by: the same name as the sitting's recording.
  const std::string player =
      frmCavewing::UserNameFrom([name = std::string(name)](const std::string&) { return name; });
  scoreServer.openSitting(player, [](std::optional<std::uint64_t> seed) {
    serverSeed = seed;
    pageSittingAsked();
  });
  return 1;
}

// Today's cave (`today` 1), the same for every player on the day, or the classic sitting (0), from
// the next cavewing_ask_sitting on: the page then opens the sitting with cavewing_open as ever.
// Every game of a today sitting flies the day's cave from its start, on the day's table.
EMSCRIPTEN_KEEPALIVE void cavewing_today(int today) { scoreServer.flyTodaysCave(today); }

// The day's best in today's cave, as its start screen says it ("Today's best: NAME 1234"); empty
// before it is known, offline, and in the classic sitting.
EMSCRIPTEN_KEEPALIVE const char* cavewing_days_best() {
  static std::string note;
  const auto& best = scoreServer.daysBest();
  note = scoreServer.todaysCave() && best ? best->note() : std::string();
  return note.c_str();
}

// Room for `bytes` of an answer, which cavewing_answer frees.
EMSCRIPTEN_KEEPALIVE char* cavewing_alloc(int bytes) {
  return static_cast<char*>(std::malloc(static_cast<std::size_t>(bytes)));
}

// The score server's answer to request `id` (status 0: none came); `body` is the page's to free.
EMSCRIPTEN_KEEPALIVE void cavewing_answer(int id, int status, char* body) {
  std::string text = body ? body : "";
  std::free(body);
  transport.answer(id, status, std::move(text));
}

// Plays the best game of the score server's table.
EMSCRIPTEN_KEEPALIVE void cavewing_best_game() { scoreServer.bestGame(playBack); }

// The server's ID of the player's latest game, once it has taken it ("" until then): the page's
// link to share.
EMSCRIPTEN_KEEPALIVE const char* cavewing_shared_game() { return scoreServer.sharedGame().c_str(); }
// Plays the game `id` of the score server (a shared link's).
EMSCRIPTEN_KEEPALIVE void cavewing_play_game(const char* id) { scoreServer.game(id, playBack); }

// Every number the page needs, as JSON (see cabinet/kit/Numbers.h).
EMSCRIPTEN_KEEPALIVE const char* cavewing_numbers() {
  static const std::string numbers = cabinet::kit::numbersAsJson();
  return numbers.c_str();
}

EMSCRIPTEN_KEEPALIVE void cavewing_frame(double realUs) {
  if (sitting) sitting->frame(realUs);
}
// When the page is to show its next frame, in milliseconds of its clock: -1 while nothing will
// happen until the player's input. Until then the page sleeps.
EMSCRIPTEN_KEEPALIVE double cavewing_next_due() {
  if (!sitting || sitting->ended()) return -1;
  const std::optional<std::int64_t> due = sitting->kit().nextDueRealUs();
  return due ? double(*due) / 1000 : -1;
}
EMSCRIPTEN_KEEPALIVE void cavewing_repaint() {
  if (sitting) sitting->paint();
}
EMSCRIPTEN_KEEPALIVE int cavewing_painted() { return sitting ? sitting->painted() : 0; }
EMSCRIPTEN_KEEPALIVE float cavewing_drawn_copter_top() {
  return sitting ? sitting->drawnCopterTop() : 0;
}
EMSCRIPTEN_KEEPALIVE double cavewing_grid() {
  return sitting ? double(sitting->cabinet().grid()) : -1;
}
EMSCRIPTEN_KEEPALIVE int cavewing_phase() { return sitting ? int(sitting->cabinet().phase()) : -1; }
EMSCRIPTEN_KEEPALIVE float cavewing_copter_top() {
  return sitting ? sitting->form().imgCopter.Top : 0;
}
EMSCRIPTEN_KEEPALIVE const char* cavewing_score() {
  return sitting ? sitting->form().lblScore.Caption.c_str() : "";
}
EMSCRIPTEN_KEEPALIVE int cavewing_standing() { return sitting && sitting->kit().standing(); }
// What the player's game came to (see cabinet/kit/Result.h), as JSON.
EMSCRIPTEN_KEEPALIVE const char* cavewing_result() {
  static std::string json;
  json = cabinet::kit::resultAsJson(sitting ? cabinet::kit::gameResult(sitting->cabinet())
                                            : cabinet::kit::GameResult{});
  return json.c_str();
}

// The high-score list while it is up, for the page's copy a screen reader reads: a row to a line,
// its number, name and score apart by the unit separator (no name holds one); empty while the
// list is not up.
EMSCRIPTEN_KEEPALIVE const char* cavewing_list() {
  static std::string rows;
  rows.clear();
  if (!sitting || !sitting->form().lblTitle.Visible) return rows.c_str();
  const frmCavewing& f = sitting->form();
  for (int i = 1; i <= 15; ++i)
    rows += f.lblNumber[i].Caption + '\x1f' + f.lblName[i].Caption + '\x1f' +
            f.lblScores[i].Caption + '\n';
  return rows.c_str();
}

// Presses and releases of a button at a point of the field, in twips; `second`: the second press
// of a quick double click.
EMSCRIPTEN_KEEPALIVE void cavewing_press(int button, int shift, float x, float y, int second) {
  if (sitting && !sitting->ended()) sitting->kit().pointer().press(button, shift, x, y, second);
}
EMSCRIPTEN_KEEPALIVE void cavewing_release(int button, int shift, float x, float y) {
  if (sitting && !sitting->ended()) sitting->kit().pointer().release(button, shift, x, y);
}
// Returns 0 when the release must wait for the running handler (a box) to return.
EMSCRIPTEN_KEEPALIVE int cavewing_release_lost() {
  return !sitting || sitting->ended() || sitting->kit().pointer().releaseLost();
}
// The page went away (hidden, or lost the focus) while its time ran (`timeRunning`, no box
// open): the buttons held are let go, the caught key's release will come elsewhere, and flight
// stands still. An ended sitting's kit lets nothing reach the game and stands nothing still.
EMSCRIPTEN_KEEPALIVE void cavewing_went_away(int timeRunning) {
  if (!sitting) return;
  cabinet::kit::Kit& kit = sitting->kit();
  kit.caughtKey().windowLost();
  kit.pointer().releaseLost();
  kit.wentAway(timeRunning);
}
// The player's first click (an empty key) or key: returns whether the kit took it whole, to end
// the demo or lift a stand-still.
EMSCRIPTEN_KEEPALIVE int cavewing_first_input(const char* key) {
  if (!sitting || sitting->ended()) return 0;
  return sitting->kit().takeFirstInput(*key ? std::optional<std::string>(key) : std::nullopt);
}
// Whether a key stroke is the rest of the caught key (its repeats, its release): none of the
// page's or the game's.
EMSCRIPTEN_KEEPALIVE int cavewing_caught_key(const char* key, int release, int repeat) {
  return sitting && sitting->kit().caughtKey().rest(key, release, repeat);
}
// A key by its name (see cabinet/kit/Keys.h), with its shift state and the character it produced
// (0 for none).
EMSCRIPTEN_KEEPALIVE void cavewing_key(const char* name, int shift, int character, int repeat) {
  if (!sitting || sitting->ended()) return;
  sitting->kit().key(cabinet::kit::KeyStroke{.name = name,
                                             .code = cabinet::kit::keyCode(name),
                                             .shift = shift,
                                             .character = character,
                                             .autoRepeat = bool(repeat)});
}
// The page's pause control, for a player with no key to press: the Esc key, as a keyboard gives
// it, so that the rules pause or resume exactly as they do for the key (and a recording keeps it
// as that key).
EMSCRIPTEN_KEEPALIVE void cavewing_pause() {
  if (!sitting || sitting->ended()) return;
  sitting->kit().key(cabinet::kit::KeyStroke{.name = "Escape",
                                             .code = cabinet::kit::keyCode("Escape"),
                                             .character = frmCavewing::AsciiEscape});
}
// A key let go (`repeat`: a repeat's release): returns whether it was the rest of the caught key.
EMSCRIPTEN_KEEPALIVE int cavewing_key_up(const char* name, int shift, int repeat) {
  if (!sitting || sitting->ended()) return 0;
  return sitting->kit().keyReleased(cabinet::kit::KeyStroke{.name = name,
                                                            .code = cabinet::kit::keyCode(name),
                                                            .shift = shift,
                                                            .autoRepeat = bool(repeat)});
}
// The player's mute, from the page's settings.
EMSCRIPTEN_KEEPALIVE void cavewing_mute(int muted) {
  if (sitting) sitting->sounds().mute(muted);
}
// The player's choice to see the ghost, from the page's settings (kept under GhostHiddenSetting).
EMSCRIPTEN_KEEPALIVE void cavewing_show_ghost(int shown) {
  if (sitting) sitting->kit().showGhost(shown);
}
EMSCRIPTEN_KEEPALIVE void cavewing_start() {
  if (sitting) sitting->deliver(replay::Event{.kind = replay::Event::Kind::Start});
}
EMSCRIPTEN_KEEPALIVE void cavewing_menu(const char* name) {
  if (sitting) sitting->deliver(replay::Event{.kind = replay::Event::Kind::Menu, .name = name});
}
}
