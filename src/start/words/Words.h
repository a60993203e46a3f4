// SPDX-License-Identifier: MIT
// The program's words read as its command line, for the programs started from one (the desktop,
// the headless program). The page makes its options from its address instead: this reader, and
// the library under it, stay out of what a visitor fetches.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "start/Launch.h"

// What `args` (the words after the program's name) ask for, or the first mistake among them.
CommandLine readWords(const std::vector<std::string>& args);

// Runs the program for `args`, as launch does for the options they ask for.
int launch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const OpenWindow& openWindow);
