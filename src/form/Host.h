// SPDX-License-Identifier: MIT
// Everything the game needs from the world outside the form: message boxes, ending the
// program, the program's folder and the player's data folder, the environment, the window's
// outer width, keyboard focus, the mouse pointer and the time of day. The Qt front end
// implements it; tests use a fake.
#pragma once

#include <string>

namespace form {

struct CommandButton;

enum class MousePointer { Default = 0, Custom = 99 };

class Host {
public:
  virtual ~Host() = default;

  // A modal box with one OK button and no icon; returns when the player closes it.
  virtual void MsgBox(const std::string& prompt, const std::string& title) = 0;
  // Ends the program at once: no more events reach the form.
  virtual void End() = 0;
  // The folder that holds the program, without a trailing separator.
  virtual std::string AppPath() = 0;
  // The player's own folder for the program's data, for when the program's folder is read-only.
  virtual std::string UserDataPath() = 0;
  // The value of an environment variable, empty when it is not set.
  virtual std::string Environ(const std::string& name) = 0;
  // Shows the window (brings it up if it is already shown).
  virtual void Show() = 0;
  // The window's outer width in twips, as laid out: the normal window's or the wide one's, the
  // same on every machine whatever frame the desktop adds. Read once, at load.
  virtual float OuterWidth() = 0;
  virtual void SetFocus(const CommandButton& button) = 0;
  virtual void SetMousePointer(MousePointer pointer) = 0;
  // Seconds since midnight, with fractions.
  virtual double Timer() = 0;
  // Brings in the latest kept copy of a file about to be read and saved again. On a desktop the
  // file is its own latest copy; the page's files live in memory, and another tab of the page may
  // have kept a newer one in the browser's storage since.
  virtual void Refresh(const std::string& path) { (void)path; }
  // Makes a file just saved outlast the program. On a desktop a saved file does, and there is
  // nothing to do; the page keeps its files in the browser's storage, which may refuse (full).
  // False, with why, when it could not: the save then counts as failed.
  virtual bool Persist(const std::string& path, std::string& error) {
    (void)path;
    (void)error;
    return true;
  }
};

}  // namespace form
