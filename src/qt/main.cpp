// SPDX-License-Identifier: MIT
// Cavewing: keep the helicopter aloft in a cave that scrolls from right to left.
#include <QApplication>
#include <QEventLoop>
#include <QFont>
#include <iostream>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#include <memory>

#include "qt/Demo.h"
#include "qt/EndSignals.h"
#include "qt/GameWindow.h"
#include "qt/NetworkTransport.h"
#include "start/words/Words.h"

namespace {

// Metric-compatible or look-alike fonts from Debian where the game's own fonts are missing.
void substituteFonts() {
  QFont::insertSubstitutions("Arial", {"Liberation Sans", "Arimo", "DejaVu Sans"});
  QFont::insertSubstitutions("Verdana", {"DejaVu Sans", "Liberation Sans"});
  QFont::insertSubstitutions("Comic Sans MS", {"Comic Neue", "DejaVu Sans"});
}

// What a frame of flight costs, unless the player chose otherwise. Qt's own event dispatcher wakes
// the 64 Hz clock more cheaply than GLib's (a fifth less CPU in flight, measured), and nothing in
// the game needs GLib's loop. A frame changes a few thousand pixels: sent over the X socket they
// cost less than through shared memory, which waits every frame for the X server to let go of
// the last one (a seventh less CPU in flight, measured). A frame's painter takes and gives back
// the same few hundred kilobytes: the C library's heap keeps them instead of handing them back to
// the system after every frame and faulting them in again for the next (a sixth less CPU in
// flight, measured).
void preferCheaperFrames() {
  for (const char* setting : {"QT_NO_GLIB", "QT_XCB_NO_MITSHM"})
    if (!qEnvironmentVariableIsSet(setting)) qputenv(setting, "1");
#if defined(__GLIBC__)
  constexpr int KeptFree = 8 << 20;
  mallopt(M_TRIM_THRESHOLD, KeptFree);
  mallopt(M_MMAP_THRESHOLD, KeptFree);
#endif
}

// With `--scores URL`, the player's sitting asks the server for its seed first, waiting at most
// the kit's short while (a replay is nobody's sitting). Without the server's answer the sitting
// plays from a seed of its own on the local table. The demo is nobody's either: its cave is its
// own, and the server's seed (`afterDemo`) is for the player's sitting once it has been stopped.
// With `--today` the sitting asks for today's cave.
std::unique_ptr<cabinet::kit::ScoreServer> askScoreServer(
    CommandLine& options, bool replaying, std::unique_ptr<NetworkTransport>& transport,
    std::optional<std::uint64_t>& afterDemo) {
  cabinet::Sitting players = sittingFrom(options);
  players.demo = false;
  if (!cabinet::kit::ScoreServer::asks(!options.scoresServer.empty(), players, replaying))
    return nullptr;
  transport = std::make_unique<NetworkTransport>(QString::fromStdString(options.scoresServer));
  auto server = std::make_unique<cabinet::kit::ScoreServer>(*transport);
  server->flyTodaysCave(options.today);
  QEventLoop waiting;
  const std::string player = frmCavewing::UserNameFrom(
      [](const std::string& name) { return qEnvironmentVariable(name.c_str()).toStdString(); });
  server->openSitting(player, [&](std::optional<std::uint64_t> seed) {
    (options.demo ? afterDemo : options.seed) = seed;
    waiting.quit();
  });
  // The kit says why when no seed came (no answer, or the server's reason).
  waiting.exec();
  return server;
}

}  // namespace

int main(int argc, char* argv[]) {
  return launch({argv + 1, argv + argc}, std::cout, std::cerr,
                [&](const CommandLine& options, const replay::Recording* recording) {
                  EndSignals::block();
                  preferCheaperFrames();
                  QApplication app(argc, argv);
                  QApplication::setApplicationName("Cavewing");
                  QApplication::setApplicationVersion(CAVEWING_VERSION);
                  QApplication::setDesktopFileName("org.cavewing.Cavewing");
                  substituteFonts();
                  CommandLine sitting = options;
                  std::unique_ptr<NetworkTransport> transport;
                  std::optional<std::uint64_t> afterDemo;
                  const auto server =
                      askScoreServer(sitting, recording != nullptr, transport, afterDemo);
                  GameWindow window(sitting, recording);
                  if (afterDemo) window.cabinet().seedStartingOver(*afterDemo);
                  if (server) {
                    server->attach(window.cabinet(), window, [&window] { window.showChanges(); });
                    // Today's cave: the day's best on the start screen, and as the ghost.
                    server->onDaysBest([&window](const cabinet::kit::DaysBest& best) {
                      window.kit().flyAgainst(best);
                    });
                  }
                  if (options.demo) new Demo(window);  // owned by the window
                  // Ended from outside: the window keeps the recording and goes, as on Exit,
                  // even from within a message box (exit leaves every event loop).
                  int endedBy = 0;
                  new EndSignals(
                      [&](int signal) {
                        endedBy = signal;
                        window.cabinet().endProgram();
                        QCoreApplication::exit(128 + signal);
                      },
                      &app);
                  const int status = app.exec();
                  if (server) server->detach();
                  if (endedBy) EndSignals::endBy(endedBy);
                  return status;
                });
}
