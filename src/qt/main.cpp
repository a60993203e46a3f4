// Cavewing: keep the helicopter aloft in a cave that scrolls from right to left.
#include <QApplication>
#include <QFont>
#include <iostream>

#include "app/CommandLine.h"
#include "qt/Demo.h"
#include "qt/GameWindow.h"

namespace {

// Metric-compatible or look-alike fonts from Debian where the game's own fonts are missing.
void substituteFonts() {
  QFont::insertSubstitutions("Arial", {"Liberation Sans", "Arimo", "DejaVu Sans"});
  QFont::insertSubstitutions("Verdana", {"DejaVu Sans", "Liberation Sans"});
  QFont::insertSubstitutions("Comic Sans MS", {"Comic Neue", "DejaVu Sans"});
}

}  // namespace

int main(int argc, char* argv[]) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const CommandLine options = CommandLine::parse(args);
  switch (options.action) {
    case CommandLine::Action::Help:
      std::cout << CommandLine::usage("cavewing");
      return 0;
    case CommandLine::Action::Version:
      std::cout << "cavewing " CAVEWING_VERSION "\n";
      return 0;
    case CommandLine::Action::Error:
      std::cerr << "cavewing: " << options.error
                << "\nTry 'cavewing --help' for more information.\n";
      return 2;
    case CommandLine::Action::Play:
      break;
  }

  QApplication app(argc, argv);
  QApplication::setApplicationName("Cavewing");
  QApplication::setApplicationVersion(CAVEWING_VERSION);
  QApplication::setDesktopFileName("org.cavewing.Cavewing");
  substituteFonts();
  GameWindow window(options);
  if (options.demo) new Demo(window);  // owned by the window
  return app.exec();
}
