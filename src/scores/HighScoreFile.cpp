// The high-score file and the player's name: where the table is kept, reading it into the list's
// labels and writing it back. A damaged or missing file never stops the game: errors leave the
// labels as far as they were filled and earn one line on standard error, nothing more.
#include <unistd.h>

#include <filesystem>
#include <iostream>

#include "app/frmCavewing.h"
#include "form/QuotedRecords.h"
#include "form/Utf8Text.h"

namespace {

void warn(const std::string& message) { std::cerr << "cavewing: high scores: " << message << '\n'; }

// Upper case, no blanks around it, and nothing that could break a line of the file. No longer
// than a field the file keeps, so that the name read back matches its player's row.
std::string playerName(const std::string& raw) {
  const std::string upper = form::utf8::upperCase(form::records::plainField(raw));
  const std::string name(form::utf8::cut(upper, form::records::maxFieldBytes));
  const auto first = name.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  return name.substr(first, name.find_last_not_of(' ') - first + 1);
}

bool canWriteIn(const std::string& folder) {
  std::error_code ec;
  return std::filesystem::is_directory(folder, ec) && ::access(folder.c_str(), W_OK) == 0;
}

}  // namespace

std::string frmCavewing::highScorePath() {
  namespace fs = std::filesystem;
  if (!scoresFile.empty()) return scoresFile;
  const std::string programFolder = host.AppPath();
  if (canWriteIn(programFolder)) return (fs::path(programFolder) / "Cavewing.txt").string();
  // An installed copy: the table lives with the player's own data.
  const fs::path userFolder = host.UserDataPath();
  std::error_code ec;
  fs::create_directories(userFolder, ec);
  return (userFolder / "Cavewing.txt").string();
}

void frmCavewing::GetUsername() { userName = UserNameFrom(host); }

std::string frmCavewing::UserNameFrom(form::Host& host) {
  // After the game's own three, the login name as Linux desktops set it.
  for (const char* variable : {"NWUSERNAME", "LOGIN", "USERNAME", "USER", "LOGNAME"}) {
    std::string name = playerName(host.Environ(variable));
    if (!name.empty()) return name;
  }
  return {};
}

void frmCavewing::ReadScores() {
  const std::string path = highScorePath();
  std::string error;
  // A first run finds an empty table, and leaves the empty file for the next one.
  form::records::touchFile(path, error);
  const auto fields =
      form::records::readFile(path, 2 * static_cast<std::size_t>(highScoreCount), error);
  if (!fields) {
    warn(error);
    return;
  }
  // Rows the file does not hold keep their captions; an odd field out names a row with no score.
  for (std::size_t i = 0; i < fields->size(); ++i) {
    const int row = static_cast<int>(i / 2) + 1;
    (i % 2 == 0 ? lblName[row] : lblScores[row]).Caption = (*fields)[i];
  }
}

void frmCavewing::WriteScores() {
  std::vector<std::string> fields;
  for (loopIndex = 1; loopIndex <= highScoreCount; ++loopIndex) {
    fields.push_back(lblName[loopIndex].Caption);
    fields.push_back(lblScores[loopIndex].Caption);
  }
  std::string error;
  if (!form::records::writeFile(highScorePath(), fields, error)) warn(error);
}
