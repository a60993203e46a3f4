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
#include "cabinet/Paint.h"
#include "cabinet/kit/Keys.h"
#include "cabinet/kit/Kit.h"
#include "cabinet/kit/Menus.h"
#include "cabinet/kit/Numbers.h"
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
EM_JS(void, pageOverlays,
      (const char* badge, const char* hint, int ring, float x, float y, int standStill), {
        Module.cavewing.overlays(UTF8ToString(badge), UTF8ToString(hint), ring, x, y, standStill);
      });
EM_JS(void, pageBegin, (), { Module.cavewing.begin(); });
EM_JS(void, pageFinish, (), { Module.cavewing.finish(); });
EM_JS(void, pageFocusStart, (), { Module.cavewing.focusStart(); });
EM_JS(void, pageCursor, (int custom), { Module.cavewing.cursor(custom); });
EM_JS(int, pageKeep, (const char* path), { return Module.cavewing.keep(UTF8ToString(path)); });
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
class WebFrontEnd : public form::Host, private cabinet::kit::Kit::Screen {
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
  }

  const cabinet::Cabinet& cabinet() const { return *cabinet_; }
  const frmCavewing& form() const { return cabinet_->form(); }
  cabinet::kit::Kit& kit() { return *kit_; }
  bool ended() const { return ended_; }

  // Real time from the page, in microseconds since it loaded; the game follows it on its grid.
  void frame(double realUs) {
    if (ended_) return;
    const std::int64_t was = cabinet_->grid();
    kit_->followRealTime(std::int64_t(realUs), allowedLag());
    // Between grid points nothing moves: the frame on screen stands.
    if (cabinet_->grid() != was) paint();
  }
  void paint() {
    if (ended_) return;
    const cabinet::kit::Overlays& o = kit_->overlays();
    pageOverlays(o.badge.c_str(), o.hint.c_str(), o.ringX.has_value(), o.ringX.value_or(0),
                 o.ringY.value_or(0), o.standStill);
    pageBegin();
    PagePainter painter;
    cabinet::paint(form(), painter);
    const form::CommandButton& b = form().cmdStart;
    pageStartButton(b.Visible, b.Enabled, b.Caption.c_str(), b.Left, b.Top, b.Width, b.Height,
                    b.Font.Name.c_str(), b.Font.Size, b.Font.Bold);
    for (const cabinet::kit::MenuEntry& entry : cabinet::kit::menuEntries(form()))
      if (!entry.name.empty()) pageMenuEnabled(entry.name.c_str(), cabinet::kit::enabled(entry));
    pageFinish();
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
  // cabinet::kit::Kit::Screen: the page's frames follow real time unless flight stands still.
  void changed() override { paint(); }
  void timeStands(bool) override {}

  std::unique_ptr<replay::Recording> recording_;
  std::string player_;
  float outerWidth_;
  std::unique_ptr<cabinet::Cabinet> cabinet_;
  std::unique_ptr<cabinet::kit::Kit> kit_;
  bool ended_ = false;
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

// Every number the page needs, as JSON (see cabinet/kit/Numbers.h).
EMSCRIPTEN_KEEPALIVE const char* cavewing_numbers() {
  static const std::string numbers = cabinet::kit::numbersAsJson();
  return numbers.c_str();
}

EMSCRIPTEN_KEEPALIVE void cavewing_frame(double realUs) {
  if (sitting) sitting->frame(realUs);
}
EMSCRIPTEN_KEEPALIVE void cavewing_repaint() {
  if (sitting) sitting->paint();
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
// stands still.
EMSCRIPTEN_KEEPALIVE void cavewing_went_away(int timeRunning) {
  if (!sitting || sitting->ended()) return;
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
EMSCRIPTEN_KEEPALIVE void cavewing_start() {
  if (sitting) sitting->deliver(replay::Event{.kind = replay::Event::Kind::Start});
}
EMSCRIPTEN_KEEPALIVE void cavewing_menu(const char* name) {
  if (sitting) sitting->deliver(replay::Event{.kind = replay::Event::Kind::Menu, .name = name});
}
}
