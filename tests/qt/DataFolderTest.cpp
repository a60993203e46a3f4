// SPDX-License-Identifier: MIT
// The player's data folder follows the XDG base-directory rules: a relative XDG_DATA_HOME is
// ignored, and without a usable home there is no such folder, said once.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include "qt/GameWindow.h"

namespace {

// Sets (or, for null, unsets) an environment variable until the end of the scope.
struct SetVariable {
  const char* name;
  QByteArray saved;
  bool wasSet;
  SetVariable(const char* n, const char* value)
      : name(n), saved(qgetenv(n)), wasSet(qEnvironmentVariableIsSet(n)) {
    value ? qputenv(name, value) : qunsetenv(name);
  }
  ~SetVariable() { wasSet ? qputenv(name, saved) : qunsetenv(name); }
};

// The data folder a window finds, and in `said` what it wrote on standard error.
std::string folderFor(const std::string& home, const std::string& dataHome, std::string* said,
                      bool homeSet = true) {
  SetVariable h("HOME", homeSet ? home.c_str() : nullptr);
  SetVariable d("XDG_DATA_HOME", dataHome.empty() ? nullptr : dataHome.c_str());
  testing::internal::CaptureStderr();
  std::string folder;
  {
    GameWindow window{CommandLine{}};
    folder = window.UserDataPath();
    EXPECT_EQ(window.UserDataPath(), folder) << "asked again";
  }
  *said = testing::internal::GetCapturedStderr();
  return folder;
}

// The lines the game wrote, not the platform's.
int linesOfTheGame(const std::string& text) {
  int lines = 0;
  for (std::size_t at = text.find("cavewing: "); at != std::string::npos;
       at = text.find("cavewing: ", at + 1))
    ++lines;
  return lines;
}

TEST(QtDataFolder, FollowsTheXdgRulesAndKeepsNothingWithoutAHome) {
  const std::string app = QApplication::applicationName().toStdString();
  QTemporaryDir temp;
  const std::string home = temp.path().toStdString() + "/home";
  const std::string data = temp.path().toStdString() + "/data";
  std::string said;
  EXPECT_EQ(folderFor(home, data, &said), data + "/" + app);
  EXPECT_EQ(folderFor(home, {}, &said), home + "/.local/share/" + app);
  EXPECT_EQ(folderFor(home, "relative/data", &said), home + "/.local/share/" + app)
      << "a relative XDG_DATA_HOME is ignored";
  EXPECT_EQ(linesOfTheGame(said), 0) << said;
  // HOME unset, empty, or relative: no folder, said once however often it is asked for.
  for (const std::string noHome : {"(unset)", "", "jane"}) {
    EXPECT_EQ(folderFor(noHome, "relative/data", &said, noHome != "(unset)"), "") << noHome;
    EXPECT_EQ(linesOfTheGame(said), 1) << noHome << ": " << said;
  }
}

}  // namespace
