// SPDX-License-Identifier: MIT
// The game's pictures, compiled into the program from assets/.
#pragma once

#include <QPixmap>

#include "form/Controls.h"

const QPixmap& pixmapFor(form::Picture picture);
