// SPDX-License-Identifier: MIT
// The cabinet: everything around the game's rules that every front end needs, as an arcade
// machine's cabinet holds the game board, the attract mode and the coin slot. It owns the random
// generator and the form, delivers input events to the form's handlers, advances the game to a
// given time, records every sitting at the window (or plays a recording back), runs the demo,
// and keeps the demo's and a replay's scores out of the player's table.
//
// A front end gives the cabinet its host services, real time and the player's input events, and
// paints from the form's controls; it never calls a form handler itself.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/Phase.h"
#include "app/frmCavewing.h"
#include "cabinet/Demo.h"
#include "cabinet/View.h"
#include "form/Host.h"
#include "form/Random.h"
#include "replay/Event.h"
#include "replay/Recording.h"

namespace cabinet {

class Recorder;
class Replayer;

// What a sitting at the window asks for.
struct Sitting {
  std::optional<std::uint64_t> seed;  // the same seed gives the same cave
  bool wide = false;                  // the wide window's layout
  std::string scoresFile;             // the player's high-score table; empty for the usual place
  std::string recordFile;             // where the sitting is kept; empty for the data folder's
  bool demo = false;                  // the sitting opens with the demo
};

// The game's random numbers; a trace may watch every value drawn.
class Random : public form::Random {
public:
  using form::Random::Random;
  float Rnd() override;
  void watch(std::function<void(float)> drawn) { drawn_ = std::move(drawn); }

private:
  std::function<void(float)> drawn_;
};

class Cabinet : private form::Host {
public:
  // A sitting: the player plays, and the sitting is recorded as `last-game` and `best-game` in
  // the player's data folder (`--record` names the first). The demo a sitting opens with is not
  // the player's: it is recorded only in the file asked for, and never as the best game.
  Cabinet(form::Host& frontEnd, const Sitting& sitting);
  // A replay: the recording (which must outlive the cabinet) plays back as it was played, as
  // the recorded player and with a throw-away high-score table; input from the player stops it
  // and gives the game back to the player (not recorded: a recording begins at a start-up).
  Cabinet(form::Host& frontEnd, const replay::Recording& recording);
  ~Cabinet() override;
  Cabinet(const Cabinet&) = delete;
  Cabinet& operator=(const Cabinet&) = delete;

  // What a front end paints from; only the cabinet's own events change it.
  const frmCavewing& form() const { return form_; }
  const form::Clock& clock() const { return form_.clock; }
  Phase phase() const { return phaseOf(form_); }
  std::int64_t grid() const { return form_.clock.now() / form_.clock.systemTick(); }
  bool wide() const { return sitting_.wide; }
  // The picture between grid points.
  const View& view() const { return view_; }
  // Nothing is painted (a headless replay): the picture is not followed, which saves a fifth of
  // a replay's work; the game itself never reads it.
  void paintNothing() { painted_ = false; }
  // The program has ended (Exit, Ctrl+X, the close box): nothing more reaches the form.
  bool ended() const { return ended_; }
  // Ends the program from outside (a signal, the display going away): the recording is kept and
  // the front end told to end, as on Exit.
  void endProgram() { End(); }

  // Loads the form into the ready phase and starts recording (and the demo, if the sitting opens
  // with it), or replaying from grid point 0.
  void load();
  // The player's input, at the grid point reached: recorded and delivered. During a replay it
  // stops the replay instead: the game goes back to the ready phase and to the player, with the
  // player's name and table.
  void input(replay::Event event);
  // Advances the game to `us` (microseconds of game time): at every grid point on the way the
  // timers fire, then the replay's events and the demo's moves of that grid point follow.
  void advanceTo(std::int64_t us);
  // The game time of the next grid point at which anything happens (a timer fires, a replayed
  // event or the demo's move comes), if any: nothing changes before it but by the player's input.
  std::optional<std::int64_t> nextDue() const;
  // Follows real time, as Clock::followRealTime does; returns the grid points dropped.
  std::int64_t followRealTime(std::int64_t realUs, int allowedLag);

  // How many message boxes the game has shown the player so far.
  int boxesShown() const { return boxesShown_; }

  // Ends the demo and starts the player's sitting as the program starts one: a fresh game on a
  // fresh clock, from a seed of its own, recorded as `last-game` and `best-game` in the player's
  // data folder (the demo's recording, if one was asked for, ends where the demo did), so that it
  // replays exactly. The clock starts again from 0.
  void stopDemo();
  // The seed the player's sitting plays from when it starts over (a score server's): after the
  // demo, and at every game flown afresh. Without one it plays after the demo from the sitting's
  // seed, or from the time of day, and afresh the cave it flew.
  void seedStartingOver(std::uint64_t seed) { seedStartingOver_ = seed; }
  bool demoPlaying() const { return demo_.has_value(); }
  // Every game of the player's flies the cave from its start, as a sitting of its own (today's
  // cave): once a game has begun, the player's way back to the ready phase (New Game, a press
  // after the crash) starts the sitting over in place, as stopDemo does.
  void everyGameAfresh() { everyGameAfresh_ = true; }

  bool replaying() const { return replayer_ != nullptr; }
  // Whether the recording has played to its end (or there is none).
  bool replayOver() const;

  // What one who watches the sitting learns of (a front end, a keeper of the table); what it
  // does not override it ignores.
  class Observer {
  public:
    virtual ~Observer() = default;
    // Every replayed event, just before it is delivered (to show the player's presses).
    virtual void replayed(const replay::Event&) {}
    // Every game of the player's recorded sitting (not the demo's) once the rules have listed it
    // (gameListed): the recording so far, to that grid point, and the score the player was shown.
    virtual void gameListed(const replay::Recording&, std::int64_t /*shown*/) {}
    // The list coming up on the player's own table (not a replay's or the demo's).
    virtual void listShown() {}
    // Every random value the game draws, in order (for a trace).
    virtual void drawn(float /*value*/) {}
    // The player's sitting started over in place, on a fresh clock, recorded afresh from `seed`
    // (the demo stopped, or a game flown afresh).
    virtual void sittingBegan(std::uint64_t /*seed*/) {}
  };
  // Each observer is told in the order added; one removes itself before it goes.
  void addObserver(Observer& observer) { observers_.push_back(&observer); }
  void removeObserver(Observer& observer) { std::erase(observers_, &observer); }
  // Lays a table's text (the high-score file's form) into the list while the list is up: the
  // rows another keeper of the table has (the score server). Rows it lacks are blank.
  void showTable(const std::string& text);

private:
  // form::Host: the front end's services, with the cabinet's policy on top.
  void MsgBox(const std::string& prompt, const std::string& title) override;
  void End() override;
  std::string AppPath() override { return frontEnd_.AppPath(); }
  std::string UserDataPath() override { return frontEnd_.UserDataPath(); }
  std::string Environ(const std::string& name) override;
  void Show() override { frontEnd_.Show(); }
  float OuterWidth() override;
  void SetFocus(const form::CommandButton& button) override { frontEnd_.SetFocus(button); }
  void SetMousePointer(form::MousePointer pointer) override { frontEnd_.SetMousePointer(pointer); }
  double Timer() override { return frontEnd_.Timer(); }
  bool Persist(const std::string& path, std::string& error) override {
    return frontEnd_.Persist(path, error);
  }

  // Runs one form handler with time standing still until it returns.
  void run(const std::function<void()>& handler);
  void afterGridPoint();
  // The replay's events due at the grid point reached, each shown to the observers first.
  void deliverReplayed();
  // Input at the grid point reached, recorded if the sitting is, and delivered.
  void play(replay::Event event);
  // The demo: plays by itself, with no message box waiting for anyone and a throw-away table.
  void startDemo();
  void observe();
  void startRecording();
  // The sitting's table and the cabinet's turn at every grid point.
  void tendForm();
  // The form and the picture start over, in place: what the front end holds of them stays valid.
  void freshForm();
  void stopReplay();
  // The player's sitting starts over in place from `seed` (the time of day's if none).
  void startOver(std::optional<std::uint64_t> seed);
  void useThrowAwayTable();
  // Back to the player's table, with the list as the player's own reads left it.
  void leaveThrowAwayTable();
  void usePlayersTable();

  form::Host& frontEnd_;
  const replay::Recording* replayed_ = nullptr;
  Sitting sitting_;  // for a replay, as recorded
  Random random_;
  frmCavewing form_;
  View view_{form_};
  std::unique_ptr<Recorder> recorder_;
  std::unique_ptr<Replayer> replayer_;
  std::optional<Demo> demo_;
  std::optional<std::uint64_t> seedStartingOver_;
  bool everyGameAfresh_ = false;
  bool gameBegun_ = false;  // the sitting has flown
  // The list's captions as the player's table left them, kept aside while a throw-away table
  // fills the list: rows a table lacks keep their captions, and must not keep the throw-away's.
  std::vector<std::string> playersList_;
  std::vector<Observer*> observers_;
  bool listWasUp_ = false;
  int boxesShown_{};  // counted from any start: only its changes are read
  bool ended_ = false;
  bool painted_ = true;
};

}  // namespace cabinet
