// SPDX-License-Identifier: MIT
// The start shared by the desktop program and the headless one, so that both read the same
// command line the same way and a headless replay prints the same wherever it runs.
#include "cabinet/Launch.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <new>
#include <optional>
#include <ostream>

#include "replay/Headless.h"

namespace {

// What was printed must have reached its reader: a failed write is an error, not a success.
int printed(std::ostream& out, std::ostream& err, const char* what) {
  out.flush();
  if (out) return 0;
  err << "cavewing: cannot write the " << what << ": " << std::strerror(errno) << "\n";
  return 1;
}

}  // namespace

int launch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const OpenWindow& openWindow) {
  // A file that reaches the size limit (ulimit -f) fails its write with EFBIG, which the game
  // handles as it does a full disk, instead of the signal ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  const CommandLine options = CommandLine::parse(args);
  switch (options.action) {
    case CommandLine::Action::Help:
      out << CommandLine::usage("cavewing");
      return printed(out, err, "help");
    case CommandLine::Action::Version:
      out << "cavewing " CAVEWING_VERSION
             "\nCopyright (c) 2026 The Cavewing developers\n"
             "MIT licence: free to use, copy, change and pass on; no warranty (see LICENSE).\n";
      return printed(out, err, "version");
    case CommandLine::Action::Error:
      err << "cavewing: " << options.error << "\nTry 'cavewing --help' for more information.\n";
      return 2;
    case CommandLine::Action::Play:
      break;
  }

  std::optional<replay::Recording> recording;
  // A recording the reader accepts fits in little memory; a machine that has even less refuses
  // it as it refuses a damaged one.
  try {
    if (!options.replayFile.empty()) {
      replay::ReadResult read = replay::readFile(options.replayFile);
      if (!read.recording) {
        err << "cavewing: " << options.replayFile << ": " << read.error << "\n";
        return 2;
      }
      recording = std::move(read.recording);
    }
    if (options.headless) {
      const replay::Outcome outcome =
          replay::replayHeadless(*recording, options.trace ? &out : nullptr);
      replay::writeOutcome(out, outcome);
      return printed(out, err, "outcome");
    }
  } catch (const std::bad_alloc&) {
    out.flush();
    err << "cavewing: " << options.replayFile << ": not enough memory to replay it\n";
    return 2;
  }
  return openWindow(options, recording ? &*recording : nullptr);
}
