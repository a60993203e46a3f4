// SPDX-License-Identifier: MIT
// The front-end kit: every rule a front end follows around the cabinet, written once for the
// desktop and the page. A front end translates its toolkit's events into the kit's calls (a
// press at a point of the field, a named key, the window going away, real time) and paints the
// form and the overlays the kit keeps (the badge, the replay's ring, the stand-still's band, the
// start screen's note, the ghost).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "cabinet/Cabinet.h"
#include "cabinet/kit/Ghost.h"
#include "cabinet/kit/Pointer.h"
#include "cabinet/kit/StandStill.h"

namespace cabinet::kit {

struct DaysBest;

// Where the ghost's helicopter is drawn, translucent (see Overlay.h): at the player's helicopter's
// left, at the ghost's own height, in twips.
struct GhostAt {
  float left = 0, top = 0;
  form::Picture picture = form::Picture::None;
  friend bool operator==(const GhostAt&, const GhostAt&) = default;
};

// What a front end paints over the form (see Overlay.h for where).
struct Overlays {
  std::string badge, hint;            // "REPLAY", "DEMO" and its hint; empty: none
  std::optional<float> ringX, ringY;  // twips: where a replay's recorded player holds a button
  bool standStill = false;            // the "PAUSED" band
  std::string startNote;              // on the player's start screen (today's cave's best)
  std::optional<GhostAt> ghost;       // while the player's game flies beside a ghost
  friend bool operator==(const Overlays&, const Overlays&) = default;
};

// A key as the front end saw it: its name (Keys.h, or any other name that is the same for its
// press, repeats and release), its code and the character it produced (0: none).
struct KeyStroke {
  std::string_view name;
  std::optional<int> code = std::nullopt;
  int shift = 0;
  int character = 0;
  bool autoRepeat = false;
};

class Kit : private Cabinet::Observer {
public:
  // The front end's part: catches the game up with real time before input lands (so that it
  // lands at the grid point it would anyway), shows what changed, stops and starts real time.
  // Where that catching up opens a message box, the input was the box's, as it would have been
  // had the game been on time: the game never gets it.
  class Screen {
  public:
    virtual ~Screen() = default;
    virtual void beforeInput() {}
    virtual void changed() = 0;
    virtual void timeStands(bool standing) = 0;
  };

  Kit(Cabinet& cabinet, Screen& screen);
  Kit(const Kit&) = delete;
  Kit& operator=(const Kit&) = delete;
  ~Kit() override { cabinet_.removeObserver(*this); }

  const Cabinet& cabinet() const { return cabinet_; }
  // What to paint over the form now: the ghost placed beside the game as it stands, as far along
  // its step as the last frame drew the game.
  const Overlays& overlays();

  // Loads the game (see Cabinet::load), with the badge of a replay or of the demo.
  void load();
  // A note the player's start screen shows (the ready phase, neither a replay nor the demo): the
  // day's best in today's cave. Empty: none.
  void noteOnStartScreen(std::string text);
  // Input at the grid point reached. A replay it stops takes its ring and badge with it.
  void input(const replay::Event& event);

  // The ghost the player's games fly against from their START (none: no ghost), and whether the
  // player sees it (the player's kept choice: see GhostHiddenSetting). The ghost shows while a
  // game flies that started with the ghost set, until the ghost's crash.
  void setGhost(std::optional<Ghost> ghost);
  // Today's cave: the start screen names the day's best, and its game is the ghost (none when
  // the server gave no recording).
  void flyAgainst(const DaysBest& best);
  void showGhost(bool shown);
  bool ghostShown() const { return ghostShown_; }
  // The player's mouse on the field (see Pointer.h).
  Pointer& pointer() { return pointer_; }
  // A key goes down (or repeats) and up. The Up arrow is the left button on the window (see
  // Pointer.h): it is pressed and let go as that button, never as a key, and its repeats are
  // nothing. A release returns whether it was the rest of a caught key (the first input's).
  void key(const KeyStroke& key);
  bool keyReleased(const KeyStroke& key);

  // The player's first click (no key) or key in the demo or a stand-still: it ends the demo or
  // lifts the stand-still and does nothing else; a caught key's repeats and release follow it
  // nowhere. Returns whether the input was taken so.
  bool takeFirstInput(std::optional<std::string> key = {});
  // Whether the player's first input would be taken now.
  bool awaitsFirstInput() const { return overlays_.standStill || cabinet_.demoPlaying(); }
  CaughtKey& caughtKey() { return caughtKey_; }

  // The window went away (lost the focus, minimised, hidden): flight stands still if real time
  // drives it. Returns whether a stand-still began.
  bool wentAway(bool timeRunning);
  bool standing() const { return overlays_.standStill; }

  // Real time, in microseconds of the front end's own clock: resumes where the game stands, and
  // the game follows it on its grid (nothing moves while flight stands still). Returns the grid
  // points dropped in a stall.
  void resumeRealTime(std::int64_t realUs) { realTime_.resume(realUs, cabinet_.clock()); }
  bool realTimeStarted() const { return realTime_.started(); }
  std::int64_t followedRealTime(std::int64_t realUs) const { return realTime_.followed(realUs); }
  std::int64_t followRealTime(std::int64_t realUs, int allowedLag);
  // A frame of the display at real time `realUs`: the game runs to the first grid point at or
  // after the frame's time, and the frame is drawn that far along the step that leads there (see
  // View). Returns the fraction to paint the view at; 1, the state, while time stands.
  // Grid points at which nothing is due are no stall: a front end may sleep through them.
  double followFrame(std::int64_t realUs, int allowedLag);
  // The real time of the next grid point at which anything happens while real time drives the
  // game; none: nothing will until the player's input. Until then a front end may sleep.
  std::optional<std::int64_t> nextDueRealUs() const;

private:
  // Catches the game up before the player's input; returns false when that opened a box.
  bool caughtUp();
  void deliver(const replay::Event& event);
  // Cabinet::Observer
  void replayed(const replay::Event& event) override;
  void sittingBegan(std::uint64_t seed) override;
  // The start screen's note while the player's start screen is up.
  void showStartNote();
  void lift();
  void stopDemo();
  int idleGridPoints() const;
  // Where the ghost is drawn now, if anywhere.
  std::optional<GhostAt> ghostAt() const;

  Cabinet& cabinet_;
  Screen& screen_;
  Overlays overlays_;
  Pointer pointer_;
  CaughtKey caughtKey_;
  RealTime realTime_;
  std::string startNote_;
  std::optional<Ghost> ghost_;
  bool ghostShown_ = true;
  std::optional<std::int64_t> liveStart_;  // the grid point of the START of the game flying
  double frameFraction_ = 1;               // how far along its step the last frame drew the game
};

}  // namespace cabinet::kit
