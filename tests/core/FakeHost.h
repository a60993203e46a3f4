// SPDX-License-Identifier: MIT
// A host for headless tests: records what the form asked of the outside world.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/frmCavewing.h"
#include "form/Host.h"

struct FakeHost : form::Host {
  struct Box {
    std::string prompt, title;
  };
  std::vector<Box> boxes;
  std::function<void()> whileBoxIsOpen;  // runs inside MsgBox, as a player would wait
  bool ended = false;
  int shown = 0;
  std::string appPath = "/tmp/cavewing-test";
  // No one can create this folder, root included: a test that does not set its own folders
  // always finds an empty high-score table and never leaves a file behind.
  std::string userDataPath = "/proc/cavewing-test-user";
  std::map<std::string, std::string> environment;
  float outerWidth = 15240 + 2 * 60;
  const form::CommandButton* focus = nullptr;
  form::MousePointer pointer = form::MousePointer::Default;
  double timeOfDay = 43200.5;

  void MsgBox(const std::string& prompt, const std::string& title) override {
    boxes.push_back({prompt, title});
    if (whileBoxIsOpen) whileBoxIsOpen();
  }
  void End() override { ended = true; }
  std::string AppPath() override { return appPath; }
  std::string UserDataPath() override { return userDataPath; }
  std::string Environ(const std::string& name) override {
    auto it = environment.find(name);
    return it == environment.end() ? std::string() : it->second;
  }
  void Show() override { ++shown; }
  float OuterWidth() override { return outerWidth; }
  void SetFocus(const form::CommandButton& button) override { focus = &button; }
  void SetMousePointer(form::MousePointer p) override { pointer = p; }
  double Timer() override { return timeOfDay; }
  bool keepsFiles = true;  // false: a front end whose storage refuses the files saved (a full one)
  int persisted = 0;       // files the front end was asked to keep
  bool Persist(const std::string& path, std::string& error) override {
    ++persisted;
    if (!keepsFiles) error = "no room to keep " + path;
    return keepsFiles;
  }
};

// A form with a fake host and a fixed seed, as most tests want it.
struct Game {
  FakeHost host;
  form::Random random{std::uint64_t{1234}};
  frmCavewing form{host, random};

  explicit Game(bool load = true) {
    if (load) form.Form_Load();
  }
  void start() { form.cmdStart_Click(); }
};
