// SPDX-License-Identifier: MIT
// A game whose program folder and player's data folder are fresh temporary folders, with the
// helpers that the score and high-score tests share.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "FakeHost.h"

using Row = std::pair<std::string, std::string>;  // name, score

struct TempFolder {
  std::filesystem::path path;
  TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "cavewing-XXXXXX").string();
    path = ::mkdtemp(pattern.data());
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path, ec);
  }
};

struct ScoresGame : Game {
  TempFolder temp;
  std::filesystem::path programFolder = temp.path / "program";
  std::filesystem::path userFolder = temp.path / "user";

  ScoresGame() {
    std::filesystem::create_directory(programFolder);
    host.appPath = programFolder.string();
    host.userDataPath = userFolder.string();
    host.environment["USERNAME"] = "me";
  }
  std::filesystem::path scoresFile() const { return programFolder / "Cavewing.txt"; }

  // The crash, by the real collision test: on again, it finds the helicopter that has fallen
  // through the floor meanwhile (or that it meets next) at its next tick.
  void beginCrash() {
    form.tmrcheck.Enabled = true;
    while (!form.crashed && form.clock.now() < 600'000'000)
      form.clock.advanceTo(form.clock.now() + form.clock.systemTick());
  }
  // A game flown for `ms` (the collision test is off, so that only the test ends the flight).
  void fly(int ms) {
    start();
    form.tmrcheck.Enabled = false;
    form.clock.advance(ms);
  }
  // The rows of the list as the labels hold them.
  std::vector<Row> table() const {
    std::vector<Row> rows;
    for (int i = 1; i <= 15; ++i)
      rows.emplace_back(form.lblName[i].Caption, form.lblScores[i].Caption);
    return rows;
  }
};

inline std::string fileText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A table file as the game writes it: each field quoted on its own CR LF line.
inline std::string tableText(const std::vector<Row>& rows) {
  std::string text;
  for (const auto& [name, score] : rows) text += '"' + name + "\"\r\n\"" + score + "\"\r\n";
  return text;
}

// Fifteen rows: the given ones, then empty rows.
inline std::vector<Row> fullTable(std::vector<Row> rows) {
  rows.resize(15);
  return rows;
}
