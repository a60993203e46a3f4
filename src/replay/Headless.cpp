// The headless host answers like a window that nobody looks at: message boxes close at once,
// the player's name is the recorded one, and the high-score table is a throw-away one in memory.
#include "replay/Headless.h"

#include <ostream>

#include "app/frmCavewing.h"
#include "replay/Replayer.h"

namespace replay {

namespace {

class HeadlessHost : public form::Host {
public:
  explicit HeadlessHost(const Recording& r) : recording_(r) {}

  void MsgBox(const std::string&, const std::string&) override {}
  void End() override { ended = true; }
  // No folder at all: the table is a throw-away one in memory.
  std::string AppPath() override { return {}; }
  std::string UserDataPath() override { return {}; }
  std::string Environ(const std::string& name) override {
    return name == "NWUSERNAME" ? recording_.player : std::string();
  }
  void Show() override {}
  float OuterWidth() override { return recording_.outerWidth; }
  void SetFocus(const form::CommandButton&) override {}
  void SetMousePointer(form::MousePointer) override {}
  double Timer() override { return 0; }

  bool ended = false;

private:
  const Recording& recording_;
};

void writeJsonString(std::ostream& out, const std::string& text) {
  out << '"';
  for (unsigned char c : text) {
    if (c == '"' || c == '\\')
      out << '\\' << c;
    else if (c < 0x20)
      out << "\\u00"
          << "0123456789abcdef"[c >> 4] << "0123456789abcdef"[c & 15];
    else
      out << c;
  }
  out << '"';
}

}  // namespace

float TracingRandom::Rnd() {
  const float value = form::Random::Rnd();
  drawn.push_back(value);
  return value;
}

void writeTrace(std::ostream& out, const frmCavewing& f, std::int64_t grid,
                const std::vector<float>& drawn) {
  auto flag = [](bool b) { return b ? "true" : "false"; };
  out << "{\"grid\":" << grid << ",\"shptunnel\":[";
  for (int i = 0; i <= 39; ++i) {
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
  out << "]}\n";
}

Outcome replayHeadless(const Recording& recording, std::ostream* trace,
                       const std::function<void(const frmCavewing&)>& atEnd) {
  HeadlessHost host(recording);
  TracingRandom random(recording.seed);
  frmCavewing form(host, random, recording.systemTickUs);
  form.throwAwayTable = std::string();
  if (trace) trace->precision(9);

  // Once the program has ended, nothing more reaches the form: not even the events recorded
  // later in the same grid point.
  Replayer replayer(form, recording, [&host] { return host.ended; });
  form.Form_Load();
  replayer.deliverDue();
  random.drawn.clear();
  while (!host.ended && !replayer.finished()) {
    form.clock.advanceTo(form.clock.now() + form.clock.systemTick());
    replayer.deliverDue();
    if (trace) writeTrace(*trace, form, replayer.grid(), random.drawn);
    random.drawn.clear();
  }
  if (atEnd) atEnd(form);
  return {form.score, form.lblScore.Caption, phaseName(form), replayer.grid()};
}

void writeOutcome(std::ostream& out, const Outcome& outcome) {
  out << "score " << outcome.scoreCaption << "\nphase " << outcome.phase << "\n";
}

}  // namespace replay
