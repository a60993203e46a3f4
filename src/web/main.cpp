// SPDX-License-Identifier: MIT
// The browser front end: hosts the cabinet in a web page. The page (src/web/cavewing.js) owns
// the canvas, the menu bar, the START button and the dialogs; it calls the functions exported
// here with real time and the player's input, and this side paints the form's controls through
// the page's drawing functions. It holds no rule: the cabinet drives the game.
#include <emscripten.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cabinet/Cabinet.h"
#include "cabinet/ControlNames.h"
#include "cabinet/ListClicks.h"
#include "cabinet/Paint.h"
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
EM_JS(void, pageBadge, (const char* badge, const char* hint),
      { Module.cavewing.badge(UTF8ToString(badge), UTF8ToString(hint)); });
EM_JS(void, pageBegin, (), { Module.cavewing.begin(); });
EM_JS(void, pageFinish, (), { Module.cavewing.finish(); });
EM_JS(void, pageFocusStart, (), { Module.cavewing.focusStart(); });
EM_JS(void, pageCursor, (int custom), { Module.cavewing.cursor(custom); });
EM_JS(int, pageKeep, (const char* path), { return Module.cavewing.keep(UTF8ToString(path)); });
EM_JS(void, pageReplayPress, (int shown, float x, float y),
      { Module.cavewing.replayPress(shown, x, y); });
// The page's command line, word by word: a word is handed over whole, whatever it holds.
EM_JS(int, pageWordCount, (), { return Module.cavewing.words.length; });
EM_JS(int, pageWordBytes, (int i), { return lengthBytesUTF8(Module.cavewing.words[i]); });
EM_JS(void, pageWord, (int i, char* to, int size),
      { stringToUTF8(Module.cavewing.words[i], to, size); });

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

// The front end of one sitting (or one replay) in the page.
class WebFrontEnd : public form::Host {
public:
  WebFrontEnd(const CommandLine& options, const replay::Recording* recording, std::string player)
      : recording_(recording ? std::make_unique<replay::Recording>(*recording) : nullptr),
        player_(std::move(player)),
        outerWidth_(options.wide ? frmCavewing::WideOuterWidth : frmCavewing::NormalOuterWidth) {
    cabinet_ = recording_ ? std::make_unique<cabinet::Cabinet>(*this, *recording_)
                          : std::make_unique<cabinet::Cabinet>(*this, sittingFrom(options));
    if (recording_) cabinet_->onReplayed = [this](const cabinet::Event& e) { showReplayed(e); };
  }

  void open() {
    pageField(cabinet_->wide() ? frmCavewing::WideOuterWidth : frmCavewing::ScaleWidth,
              frmCavewing::ScaleHeight);
    for (const form::MenuItem* entry : form().menuBar) {
      announceMenu(*entry, 0);
      for (const form::MenuItem* item : entry->Items) announceMenu(*item, 1);
    }
    if (recording_) pageBadge("REPLAY", "");
    cabinet_->load();
    if (cabinet_->demoPlaying()) pageBadge("DEMO", "click or press a key to play");
    paint();
  }

  cabinet::Cabinet& cabinet() { return *cabinet_; }
  const frmCavewing& form() const { return cabinet_->form(); }

  // Real time from the page, in microseconds since it loaded; the game follows it on its grid.
  void frame(double realUs) {
    if (ended_) return;
    if (!started_) resume(realUs);
    const std::int64_t was = cabinet_->grid();
    cabinet_->followRealTime(std::int64_t(realUs) - realStartUs_ + gameStartUs_, allowedLag());
    // Between grid points nothing moves: the frame on screen stands.
    if (cabinet_->grid() != was) paint();
  }
  void paint() {
    if (ended_) return;
    pageBegin();
    PagePainter painter;
    cabinet::paint(form(), painter);
    const form::CommandButton& b = form().cmdStart;
    pageStartButton(b.Visible, b.Enabled, b.Caption.c_str(), b.Left, b.Top, b.Width, b.Height,
                    b.Font.Name.c_str(), b.Font.Size, b.Font.Bold);
    // A disabled menu disables its items, and with them their shortcuts.
    for (const form::MenuItem* entry : form().menuBar) {
      pageMenuEnabled(pageName(*entry).c_str(), entry->Enabled);
      for (const form::MenuItem* item : entry->Items)
        if (!item->IsSeparator())
          pageMenuEnabled(pageName(*item).c_str(), item->Enabled && entry->Enabled);
    }
    pageFinish();
  }
  // A stall is a lag of stallGridPoints at the usual grid, counted in this sitting's own grid
  // points: the page's frames come every 16 ms or so, several grid points of a finer grid.
  int allowedLag() const {
    const std::int64_t stallUs = form::Clock::stallGridPoints * form::Clock::defaultSystemTickUs;
    const std::int64_t tick = cabinet_->clock().systemTick();
    return int(std::max<std::int64_t>(form::Clock::stallGridPoints, (stallUs + tick - 1) / tick));
  }
  // After a stand-still, real time starts again where the game stands: the time it lasted is
  // never caught up.
  void resume(double realUs) {
    started_ = true;
    realStartUs_ = std::int64_t(realUs);
    gameStartUs_ = cabinet_->clock().now() + cabinet_->clock().droppedUs();
  }

  void deliver(const cabinet::Event& event) {
    if (ended_) return;
    const bool replaying = cabinet_->replaying();
    cabinet_->input(event);
    if (replaying && !cabinet_->replaying()) {
      pageReplayPress(0, 0, 0);
      pageBadge("", "");
    }
    paint();
  }

  // Presses and releases on the field (twips), routed as on the desktop: a press on the visible
  // helicopter goes to it, with its releases; a press on a list label is a click on it.
  void pointer(int kind, int button, int shift, float x, float y) {
    using Kind = cabinet::Event::Kind;
    if (kind != 0 && held_ == 0) {
      if (auto click = cabinet::listLabelClickAt(form(), x, y)) {
        if (button == frmCavewing::LeftButton) deliver(*click);
        return;
      }
    }
    if (kind == 0) {  // up
      if (!(held_ & button)) return;
      held_ &= ~button;
      deliver(mouseEvent(Kind::Up, button, shift, x, y));
      return;
    }
    if (held_ == 0) copterHolds_ = kind == 1 && onCopter(x, y);
    held_ |= button;
    if (kind == 2)
      deliver(cabinet::Event{.kind = Kind::DblClick});
    else
      deliver(mouseEvent(Kind::Down, button, shift, x, y));
  }
  // The page lost the focus with buttons held: their releases may never come.
  void releaseLost() {
    if (held_ == 0) return;
    held_ = 0;
    deliver(cabinet::Event{.kind = cabinet::Event::Kind::Release});
  }

  // The first click or key of the player ends the demo, and does nothing else.
  void stopDemo() {
    if (!cabinet_->demoPlaying()) return;
    pageBadge("", "");
    cabinet_->stopDemo();
    paint();
  }

  bool flying() const {
    return !ended_ && cabinet_->phase() == cabinet::Phase::Flying && !cabinet_->demoPlaying();
  }

  // form::Host
  void MsgBox(const std::string& prompt, const std::string& title) override {
    // The picture is brought up to date before the box opens: the list under its box.
    paint();
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
  // The page's files live in memory: a save is kept once the browser's storage holds it.
  bool Persist(const std::string& path, std::string& error) override {
    if (pageKeep(path.c_str())) return true;
    error = "the browser would not keep " + path;
    return false;
  }

private:
  // The page knows a command by its control name, a menu of commands by its caption.
  std::string pageName(const form::MenuItem& item) {
    const std::string_view name = cabinet::nameOf(form(), item);
    return name.empty() ? item.Caption : std::string(name);
  }
  void announceMenu(const form::MenuItem& item, int depth) {
    pageMenu(pageName(item).c_str(), item.Caption.c_str(), item.Shortcut.c_str(), depth);
  }

  void showReplayed(const cabinet::Event& e) {
    using Kind = cabinet::Event::Kind;
    if (e.kind == Kind::Down) {
      const form::Image& copter = form().imgCopter;
      // A press on the helicopter was recorded where it lay on the helicopter.
      pageReplayPress(1, e.onCopter ? copter.Left + e.x : e.x, e.onCopter ? copter.Top + e.y : e.y);
    } else if (e.kind == Kind::Up || e.kind == Kind::Release) {
      pageReplayPress(0, 0, 0);
    }
  }

  cabinet::Event mouseEvent(cabinet::Event::Kind kind, int button, int shift, float x,
                            float y) const {
    const form::Image& copter = cabinet_->form().imgCopter;
    return cabinet::Event{.kind = kind,
                          .onCopter = copterHolds_,
                          .button = button,
                          .shift = shift,
                          .x = copterHolds_ ? x - copter.Left : x,
                          .y = copterHolds_ ? y - copter.Top : y};
  }
  bool onCopter(float x, float y) {
    const form::Image& copter = form().imgCopter;
    return copter.Visible && x >= copter.Left && x < copter.Left + copter.Width &&
           y >= copter.Top && y < copter.Top + copter.Height;
  }

  std::unique_ptr<replay::Recording> recording_;
  std::string player_;
  float outerWidth_;
  std::unique_ptr<cabinet::Cabinet> cabinet_;
  bool started_ = false, ended_ = false;
  std::int64_t realStartUs_ = 0, gameStartUs_ = 0;
  int held_ = 0;
  bool copterHolds_ = false;
};

// The one sitting in the page: the page's calls reach it only through the functions below.
std::unique_ptr<WebFrontEnd> sitting;

std::vector<std::string> pageWords() {
  std::vector<std::string> words(static_cast<std::size_t>(pageWordCount()));
  for (std::size_t i = 0; i < words.size(); ++i) {
    std::string& word = words[i];
    word.resize(std::size_t(pageWordBytes(int(i))) + 1);  // room for stringToUTF8's terminator
    pageWord(int(i), word.data(), int(word.size()));
    word.pop_back();
  }
  return words;
}

}  // namespace

extern "C" {

// Opens a sitting for the command line the page made of its address (its words), as the player
// `name`; returns the launcher's status, or -1 while the window is open.
EMSCRIPTEN_KEEPALIVE int cavewing_open(const char* name) {
  sitting.reset();
  std::ostringstream out, err;
  const int status = launch(pageWords(), out, err,
                            [name](const CommandLine& options, const replay::Recording* recording) {
                              sitting = std::make_unique<WebFrontEnd>(options, recording, name);
                              sitting->open();
                              return -1;
                            });
  if (status != -1) pageEnded((out.str() + err.str()).c_str());
  return status;
}

EMSCRIPTEN_KEEPALIVE void cavewing_frame(double realUs) {
  if (sitting) sitting->frame(realUs);
}
EMSCRIPTEN_KEEPALIVE void cavewing_repaint() {
  if (sitting) sitting->paint();
}
EMSCRIPTEN_KEEPALIVE void cavewing_resume(double realUs) {
  if (sitting) sitting->resume(realUs);
}
EMSCRIPTEN_KEEPALIVE int cavewing_flying() { return sitting && sitting->flying(); }
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
EMSCRIPTEN_KEEPALIVE int cavewing_demo_playing() {
  return sitting && sitting->cabinet().demoPlaying();
}
EMSCRIPTEN_KEEPALIVE void cavewing_stop_demo() {
  if (sitting) sitting->stopDemo();
}
EMSCRIPTEN_KEEPALIVE int cavewing_replaying() { return sitting && sitting->cabinet().replaying(); }

// kind: 0 release, 1 press, 2 the second press of a left double click.
EMSCRIPTEN_KEEPALIVE void cavewing_pointer(int kind, int button, int shift, float x, float y) {
  if (sitting) sitting->pointer(kind, button, shift, x, y);
}
EMSCRIPTEN_KEEPALIVE void cavewing_release_lost() {
  if (sitting) sitting->releaseLost();
}
// A key: its code and shift state, and the character it produced (0 for none).
EMSCRIPTEN_KEEPALIVE void cavewing_key(int code, int shift, int character) {
  if (!sitting) return;
  using Kind = cabinet::Event::Kind;
  if (code) sitting->deliver(cabinet::Event{.kind = Kind::KeyDown, .shift = shift, .code = code});
  if (character) sitting->deliver(cabinet::Event{.kind = Kind::KeyPress, .code = character});
}
EMSCRIPTEN_KEEPALIVE void cavewing_start() {
  if (sitting) sitting->deliver(cabinet::Event{.kind = cabinet::Event::Kind::Start});
}
EMSCRIPTEN_KEEPALIVE void cavewing_menu(const char* name) {
  if (sitting) sitting->deliver(cabinet::Event{.kind = cabinet::Event::Kind::Menu, .name = name});
}
}
