// SPDX-License-Identifier: MIT
// The ghost to beat: another game's helicopter, flown again from its recording by the cabinet's
// headless replay (the rules themselves, never a copy of them), kept as its place at every grid
// point from its START to its crash. The view draws it beside the player's game, grid point k of
// the player's try beside grid point k of the ghost's; the rules never see it.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "form/Controls.h"
#include "replay/Recording.h"

namespace cabinet::kit {

// The player's choice to see the ghost, kept between sittings under this name (the desktop's
// settings, the page's storage): shown unless the player turned it off.
inline constexpr const char* GhostHiddenSetting = "ghost/hidden";

// Where the ghost's helicopter is at one grid point: its top, in twips, and its picture (the
// rotor's frame, or its explosion at the crash).
struct GhostPlace {
  float top = 0;
  form::Picture picture = form::Picture::None;
  friend bool operator==(const GhostPlace&, const GhostPlace&) = default;
};

class Ghost {
public:
  // The recording's first game: the one a try of today's cave is ranked by, and the only one
  // whose cave a fresh sitting on the same seed flies.
  explicit Ghost(const replay::Recording& recording);
  // The same from a recording's text; none when it does not read or never starts a game.
  static std::optional<Ghost> fromText(std::string_view text);

  // The ghost `sinceStart` grid points after its START (0: the START's own): none before it, nor
  // after its crash.
  std::optional<GhostPlace> at(std::int64_t sinceStart) const;
  // The grid points it flies, its START's and its crash's counted.
  std::int64_t gridPoints() const { return std::int64_t(places_.size()); }

private:
  std::vector<GhostPlace> places_;
};

}  // namespace cabinet::kit
