// Cavewing: keep the helicopter aloft in a cave that scrolls from right to left.
#include <QApplication>
#include <QFont>
#include <cerrno>
#include <cstring>
#include <iostream>

#include "app/CommandLine.h"
#include "qt/Demo.h"
#include "qt/EndSignals.h"
#include "qt/GameWindow.h"
#include "replay/Headless.h"

namespace {

// Metric-compatible or look-alike fonts from Debian where the game's own fonts are missing.
void substituteFonts() {
  QFont::insertSubstitutions("Arial", {"Liberation Sans", "Arimo", "DejaVu Sans"});
  QFont::insertSubstitutions("Verdana", {"DejaVu Sans", "Liberation Sans"});
  QFont::insertSubstitutions("Comic Sans MS", {"Comic Neue", "DejaVu Sans"});
}

// What was printed must have reached its reader: a failed write is an error, not a success.
int printed(std::ostream& out, const char* what) {
  out.flush();
  if (out) return 0;
  std::cerr << "cavewing: cannot write the " << what << ": " << std::strerror(errno) << "\n";
  return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const CommandLine options = CommandLine::parse(args);
  switch (options.action) {
    case CommandLine::Action::Help:
      std::cout << CommandLine::usage("cavewing");
      return printed(std::cout, "help");
    case CommandLine::Action::Version:
      std::cout << "cavewing " CAVEWING_VERSION "\n";
      return printed(std::cout, "version");
    case CommandLine::Action::Error:
      std::cerr << "cavewing: " << options.error
                << "\nTry 'cavewing --help' for more information.\n";
      return 2;
    case CommandLine::Action::Play:
      break;
  }

  std::optional<replay::Recording> recording;
  if (!options.replayFile.empty()) {
    replay::ReadResult read = replay::readFile(options.replayFile);
    if (!read.recording) {
      std::cerr << "cavewing: " << options.replayFile << ": " << read.error << "\n";
      return 2;
    }
    recording = std::move(read.recording);
  }
  if (options.headless) {
    const replay::Outcome outcome =
        replay::replayHeadless(*recording, options.trace ? &std::cout : nullptr);
    replay::writeOutcome(std::cout, outcome);
    return printed(std::cout, "outcome");
  }

  EndSignals::block();

  // Qt's own event dispatcher wakes the 64 Hz clock more cheaply than GLib's (a fifth less CPU in
  // flight, measured), and nothing in the game needs GLib's loop.
  if (!qEnvironmentVariableIsSet("QT_NO_GLIB")) qputenv("QT_NO_GLIB", "1");
  QApplication app(argc, argv);
  QApplication::setApplicationName("Cavewing");
  QApplication::setApplicationVersion(CAVEWING_VERSION);
  QApplication::setDesktopFileName("org.cavewing.Cavewing");
  substituteFonts();
  GameWindow window(options, recording ? &*recording : nullptr);
  if (options.demo) new Demo(window);  // owned by the window
  // Ended from outside: the window keeps the recording and goes, as on Exit, even from within a
  // message box (exit leaves every event loop).
  int endedBy = 0;
  new EndSignals(
      [&](int signal) {
        endedBy = signal;
        window.End();
        QCoreApplication::exit(128 + signal);
      },
      &app);
  const int status = app.exec();
  if (endedBy) EndSignals::endBy(endedBy);
  return status;
}
