// SPDX-License-Identifier: MIT
// How the program starts, whatever front end it has: the command line read once, help, version
// and mistakes answered, a recording read, a headless replay played. Only opening the window is
// left to the front end.
#pragma once

#include <functional>
#include <iosfwd>

#include "cabinet/Cabinet.h"
#include "replay/Recording.h"
#include "start/CommandLine.h"

// Opens the window as `options` ask, playing `recording` back in it when there is one; returns
// the program's exit status.
using OpenWindow =
    std::function<int(const CommandLine& options, const replay::Recording* recording)>;

// Runs the program as `options` ask (see src/start/words for the program's words), writing to
// `out` and `err` as to standard output and error; returns the exit status. A write past the
// file-size limit fails from then on rather than ending the process.
int launch(const CommandLine& options, std::ostream& out, std::ostream& err,
           const OpenWindow& openWindow);

// The sitting at the window that `options` ask for.
cabinet::Sitting sittingFrom(const CommandLine& options);
