// SPDX-License-Identifier: MIT
// The files of games the score server's client keeps in the player's data folder: those the server
// has yet to take (`unsent-games`) and those it refused, with its reasons (`refused-games`).
// Several copies of the game (two desktops on one folder, two tabs of the page) may share them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "form/Host.h"

namespace form {
class KeptFile;
}

namespace cabinet::kit {

// A game as a file keeps it: its sitting's recording so far, with the score shown.
struct KeptGame {
  std::string sitting;
  std::int64_t shown = 0;
  std::string recording;
  std::string why;  // the server's reason, for a game it refused

  bool operator==(const KeptGame&) const = default;
};

// A change to a file's games: true when it changed them. Called only within update(), so it only
// refers to the caller's function (the page's program is smaller without a std::function each).
class GamesChange {
public:
  template <typename F>
  GamesChange(const F& change)  // NOLINT: made from any function, as std::function is
      : change_(&change), call_([](const void* f, std::vector<KeptGame>& games) {
          return (*static_cast<const F*>(f))(games);
        }) {}
  bool operator()(std::vector<KeptGame>& games) const { return call_(change_, games); }

private:
  const void* change_;
  bool (*call_)(const void*, std::vector<KeptGame>&);
};

// A sitting's ID as the server issues them: a short word of letters and digits, safe in a path.
bool sittingId(std::string_view id);

// One file of games, in the order they were put in. Each change reads the file again, makes the
// change and writes it back under the file's lock (on the page: after the host brought the stored
// file in, and kept at once), so that what another copy of the game kept meanwhile stays. A file
// this reader does not know (another version, or damaged past some point) is set aside under
// another name, said once, and never written over; the games before a damage stay.
class GamesFile {
public:
  GamesFile() = default;  // no folder to keep them in
  GamesFile(std::string path, std::string_view header, std::size_t maxBytes)
      : path_(std::move(path)), header_(header), maxBytes_(maxBytes) {}

  struct Outcome {
    std::vector<KeptGame> games;                // after the change
    std::optional<std::vector<KeptGame>> read;  // as read from the file, when it could be
    bool kept = false;                          // the games after the change are in the file
    std::string error;                          // why they are not, when it was tried
    std::string notice;                         // what the player is told (a file set aside)
  };
  // Applies `change` to the file's games (to `fallback` when there is no file to read), and keeps
  // them when it says it changed them (or a file was set aside).
  Outcome update(form::Host& host, const std::vector<KeptGame>& fallback, GamesChange change) const;

private:
  // Writes the games when `changed`; a file read and left alone keeps them already.
  Outcome keep(form::Host& host, form::KeptFile& file, Outcome out, bool changed) const;

  std::string path_;
  std::string_view header_;
  std::size_t maxBytes_ = 0;
};

}  // namespace cabinet::kit
