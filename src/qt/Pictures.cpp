// SPDX-License-Identifier: MIT
// The game's pictures, loaded from the program's own resources.
#include "qt/Pictures.h"

#include <array>

const QPixmap& pixmapFor(form::Picture picture) {
  static const std::array<QPixmap, 7> pixmaps = {
      QPixmap(),
      QPixmap(":/assets/heli0.png"),
      QPixmap(":/assets/heli1.png"),
      QPixmap(":/assets/heli2.png"),
      QPixmap(":/assets/heli3.png"),
      QPixmap(":/assets/heli4.png"),
      QPixmap(":/assets/explosion.png"),
  };
  return pixmaps[static_cast<std::size_t>(picture)];
}
