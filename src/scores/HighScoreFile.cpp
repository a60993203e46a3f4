// SPDX-License-Identifier: MIT
// The high-score file and the player's name: where the table is kept, reading it into the list's
// labels and writing it back. A damaged or missing file never stops the game: errors leave the
// labels as far as they were filled and earn one line on standard error, nothing more. The file's
// safety (regular files only, locks, atomic saves) is form::KeptFile's.
#include <unistd.h>

#include <algorithm>
#include <cctype>
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

// An installed copy: the program lies in a system folder, or its prefix holds the game's
// installed files beside it (share/ next to bin/ or games/). Such a folder belongs to no player,
// even to one who may write it, so the table goes with the player's own data.
bool installedIn(const std::string& folder) {
  namespace fs = std::filesystem;
  const fs::path program = fs::path(folder).lexically_normal();
  for (const fs::path system : {"/usr", "/opt"}) {
    const auto [end, _] =
        std::mismatch(system.begin(), system.end(), program.begin(), program.end());
    if (end == system.end()) return true;
  }
  std::error_code ec;
  return fs::exists(program.parent_path() / "share/metainfo/org.cavewing.Cavewing.metainfo.xml",
                    ec);
}

}  // namespace

std::string frmCavewing::highScorePath() const {
  namespace fs = std::filesystem;
  if (!scoresFile.empty()) return scoresFile;
  const std::string programFolder = host.AppPath();
  if (!installedIn(programFolder) && canWriteIn(programFolder))
    return (fs::path(programFolder) / "Cavewing.txt").string();
  // An installed or read-only copy: the table lives with the player's own data.
  const fs::path userFolder = host.UserDataPath();
  if (userFolder.empty()) return {};  // no home: no place of the player's own
  std::error_code ec;
  fs::create_directories(userFolder, ec);
  return (userFolder / "Cavewing.txt").string();
}

void frmCavewing::GetUsername() { userName = UserNameFrom(host); }

std::string frmCavewing::UserNameFrom(form::Host& host) {
  return UserNameFrom([&host](const std::string& variable) { return host.Environ(variable); });
}

std::string frmCavewing::UserNameFrom(
    const std::function<std::string(const std::string&)>& variableValue) {
  // After the game's own three, the login name as Linux desktops set it.
  for (const char* variable : {"NWUSERNAME", "LOGIN", "USERNAME", "USER", "LOGNAME"}) {
    std::string name = playerName(variableValue(variable));
    if (!name.empty()) return name;
  }
  return {};
}

std::unique_ptr<form::KeptFile> frmCavewing::openTable() {
  return std::make_unique<form::KeptFile>(highScorePath(), form::records::maxFileBytes);
}

void frmCavewing::ReadScores() {
  std::string text;
  if (throwAwayTable) {
    text = *throwAwayTable;
  } else {
    // Outside the ranking, the table is locked just for this read. A first run creates an empty
    // table and leaves the empty file for the next one.
    const std::unique_ptr<form::KeptFile> ownRead = heldTable ? nullptr : openTable();
    const form::KeptFile& file = heldTable ? *heldTable : *ownRead;
    // Within the ranking, the ranking says what went wrong, once (releaseTable).
    if (file.state() != form::KeptFile::State::Read && !heldTable) warn(file.error());
    if (!file.notice().empty()) warn(file.notice());
    if (file.state() == form::KeptFile::State::Failed) return;
    text = file.text();
  }
  ListTable(text);
}

void frmCavewing::ListTable(const std::string& text) {
  const auto fields = form::records::parse(text, 2 * static_cast<std::size_t>(highScoreCount));
  // Rows the file does not hold keep their captions; an odd field out names a row with no score.
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const int row = static_cast<int>(i / 2) + 1;
    (i % 2 == 0 ? lblName[row] : lblScores[row]).Caption = fields[i];
  }
}

bool frmCavewing::WriteScores() {
  std::vector<std::string> fields;
  for (loopIndex = 1; loopIndex <= highScoreCount; ++loopIndex) {
    fields.push_back(lblName[loopIndex].Caption);
    fields.push_back(lblScores[loopIndex].Caption);
  }
  const std::string text = form::records::format(fields);
  if (throwAwayTable) {
    *throwAwayTable = text;
    return true;
  }
  // A table that could not be read, or is read-only, is not written over (KeptFile says why).
  const std::unique_ptr<form::KeptFile> ownSave = heldTable ? nullptr : openTable();
  form::KeptFile& file = heldTable ? *heldTable : *ownSave;
  std::string error;
  bool saved = file.save(text);
  if (!saved) error = file.error();
  // Saved means kept: where the front end keeps its files beyond the program (the page, in the
  // browser's storage), that is part of the save.
  if (saved) saved = host.Persist(file.target(), error);
  if (!saved) warn(error);
  return saved;
}

void frmCavewing::releaseTable() {
  // A ranking that saves nothing still says, once, what was wrong with the table it read.
  if (heldTable && heldTable->state() != form::KeptFile::State::Read) warn(heldTable->error());
  heldTable.reset();
}
