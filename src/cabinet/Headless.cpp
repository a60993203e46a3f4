// SPDX-License-Identifier: MIT
// The headless replay: the cabinet answers what the headless host does not as a replay does (the
// recorded player, the recorded outer width, a throw-away high-score table in memory).
#include "cabinet/Headless.h"

#include <ostream>

#include "app/frmCavewing.h"
#include "cabinet/Cabinet.h"

namespace cabinet {

float HeadlessHost::OuterWidth() { return frmCavewing::NormalOuterWidth; }

namespace {

void writeJsonString(std::ostream& out, const std::string& text) {
  out << '"';
  for (const char c : text) {
    const auto code = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\')
      out << '\\' << c;
    else if (code < 0x20)
      out << "\\u00"
          << "0123456789abcdef"[code >> 4] << "0123456789abcdef"[code & 15];
    else
      out << c;
  }
  out << '"';
}

// What a headless replay watches: the form before every replayed event too (when it looks),
// and the random values drawn since the last grid point (once tracing).
class Watcher : public Cabinet::Observer {
public:
  Watcher(const frmCavewing& form, const std::function<void(const frmCavewing&)>& look)
      : form_(form), look_(look) {}
  void replayed(const replay::Event&) override {
    if (look_) look_(form_);
  }
  void drawn(float value) override {
    if (tracing) values.push_back(value);
  }
  bool tracing = false;
  std::vector<float> values;

private:
  const frmCavewing& form_;
  const std::function<void(const frmCavewing&)>& look_;
};

}  // namespace

void writeTrace(std::ostream& out, const frmCavewing& f, std::int64_t grid,
                const std::vector<float>& drawn, const std::string* tableWritten) {
  auto flag = [](bool b) { return b ? "true" : "false"; };
  out << "{\"grid\":" << grid << ",\"shptunnel\":[";
  for (int i = 0; i <= frmCavewing::LastFloorBlock; ++i) {
    const auto& b = f.shptunnel[i];
    out << (i ? "," : "") << "[" << b.Left << "," << b.Top << "," << b.Height << "]";
  }
  const auto& m = f.shpTunnelM;
  out << "],\"shpTunnelM\":[" << m.Left << "," << m.Top << "," << m.Height << "]"
      << ",\"imgCopter\":{\"Top\":" << f.imgCopter.Top
      << ",\"Picture\":" << int(f.imgCopter.Picture) << ",\"Visible\":" << flag(f.imgCopter.Visible)
      << "}"
      << ",\"climbSpeed\":" << f.climbSpeed << ",\"score\":" << f.score << ",\"lblScore\":";
  writeJsonString(out, f.lblScore.Caption);
  out << ",\"gapHeight\":" << f.gapHeight << ",\"pausesLeft\":" << f.pausesLeft
      << ",\"gameRunning\":" << flag(f.gameRunning) << ",\"halted\":" << flag(f.halted)
      << ",\"gameOver\":" << flag(f.gameOver) << ",\"crashed\":" << flag(f.crashed)
      << ",\"crashArmed\":" << flag(f.crashArmed) << ",\"rotorFrame\":" << f.rotorFrame
      << ",\"timers\":{\"tmrCRASH\":" << flag(f.tmrCRASH.Enabled)
      << ",\"tmrPause\":" << flag(f.tmrPause.Enabled)
      << ",\"tmrcheck\":" << flag(f.tmrcheck.Enabled)
      << ",\"tmrScore\":" << flag(f.tmrScore.Enabled)
      << ",\"tmrshrink\":" << flag(f.tmrshrink.Enabled)
      << ",\"tmrCopter\":" << flag(f.tmrCopter.Enabled)
      << ",\"tmrMoveTunnel\":" << flag(f.tmrMoveTunnel.Enabled)
      << ",\"tmrUp\":" << flag(f.tmrUp.Enabled) << ",\"tmrDown\":" << flag(f.tmrDown.Enabled) << "}"
      << ",\"lblCRASH\":" << flag(f.lblCRASH.Visible)
      << ",\"lblTitle\":" << flag(f.lblTitle.Visible)
      << ",\"cmdStart\":" << flag(f.cmdStart.Visible)
      << ",\"menus\":{\"mnuFile\":" << flag(f.mnuFile.Enabled)
      << ",\"mnuHelp\":" << flag(f.mnuHelp.Enabled)
      << ",\"mnuScores\":" << flag(f.mnuScores.Enabled) << "},\"random\":[";
  for (std::size_t i = 0; i < drawn.size(); ++i) out << (i ? "," : "") << drawn[i];
  out << "]";
  if (tableWritten) {
    out << ",\"WriteScores\":";
    writeJsonString(out, *tableWritten);
  }
  out << "}\n";
}

Outcome replayHeadless(const replay::Recording& recording, std::ostream* trace,
                       const std::function<void(const frmCavewing&)>& atEnd,
                       const std::function<void(const frmCavewing&)>& look) {
  HeadlessHost host;
  Cabinet cabinet(host, recording);
  cabinet.paintNothing();
  const frmCavewing& form = cabinet.form();
  if (trace) trace->precision(9);
  Watcher watcher(form, look);
  cabinet.addObserver(watcher);
  cabinet.load();
  watcher.tracing = trace != nullptr;
  // The throw-away table as the rules last wrote it. A write always puts a new score in, so the
  // text changes at every grid point where the rules write it, and only there.
  std::string tableSeen = form.throwAwayTable.value_or(std::string());
  while (!cabinet.ended() && !cabinet.replayOver()) {
    cabinet.advanceTo(form.clock.now() + form.clock.systemTick());
    if (trace) {
      const bool written = form.throwAwayTable && *form.throwAwayTable != tableSeen;
      if (written) tableSeen = *form.throwAwayTable;
      writeTrace(*trace, form, cabinet.grid(), watcher.values, written ? &tableSeen : nullptr);
    }
    if (look) look(form);
    watcher.values.clear();
  }
  if (atEnd) atEnd(form);
  return {form.score, form.lblScore.Caption, nameOf(cabinet.phase()), cabinet.grid()};
}

void writeOutcome(std::ostream& out, const Outcome& outcome) {
  out << "score " << outcome.scoreCaption << "\nphase " << outcome.phase << "\n";
}

}  // namespace cabinet
