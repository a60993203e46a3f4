// The start shared by the desktop program and the headless one, so that both read the same
// command line the same way and a headless replay prints the same wherever it runs.
#include "app/Launch.h"

#include <optional>
#include <ostream>

#include "replay/Headless.h"

int launch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const OpenWindow& openWindow) {
  const CommandLine options = CommandLine::parse(args);
  switch (options.action) {
    case CommandLine::Action::Help:
      out << CommandLine::usage("cavewing");
      return 0;
    case CommandLine::Action::Version:
      out << "cavewing " CAVEWING_VERSION "\n";
      return 0;
    case CommandLine::Action::Error:
      err << "cavewing: " << options.error << "\nTry 'cavewing --help' for more information.\n";
      return 2;
    case CommandLine::Action::Play:
      break;
  }

  std::optional<replay::Recording> recording;
  if (!options.replayFile.empty()) {
    replay::ReadResult read = replay::readFile(options.replayFile);
    if (!read.recording) {
      err << "cavewing: " << options.replayFile << ": " << read.error << "\n";
      return 2;
    }
    recording = std::move(read.recording);
  }
  if (options.headless) {
    const replay::Outcome outcome =
        replay::replayHeadless(*recording, options.trace ? &out : nullptr);
    out << "score " << outcome.score << "\nphase " << outcome.phase << "\n";
    return 0;
  }
  return openWindow(options, recording ? &*recording : nullptr);
}
