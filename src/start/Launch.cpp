// SPDX-License-Identifier: MIT
// The start shared by every program (the desktop, the headless one, the page), so that each
// answers the same command line the same way and a headless replay prints the same wherever it
// runs.
#include "start/Launch.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <new>
#include <optional>
#include <ostream>

#include "cabinet/Headless.h"

namespace {

// Passes what is written on to `to`, and notes why the first write that failed there failed, as
// the system said right then: errno read later may be any later call's. Buffered, as a trace
// writes a great deal.
class Witness : public std::streambuf {
public:
  explicit Witness(std::streambuf* to) : to_(to) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
  }
  ~Witness() override { sync(); }
  Witness(const Witness&) = delete;
  Witness& operator=(const Witness&) = delete;
  // The errno of the first failed write, or 0 when none failed or the system gave no reason.
  int reason() const { return reason_; }

protected:
  int_type overflow(int_type c) override {
    if (!passOn()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  int sync() override {
    if (!passOn()) return -1;
    errno = 0;
    return noted(to_->pubsync() == 0) ? 0 : -1;
  }

private:
  bool passOn() {
    const std::streamsize n = pptr() - pbase();
    errno = 0;
    const bool ok = n == 0 || to_->sputn(pbase(), n) == n;
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return noted(ok);
  }
  bool noted(bool ok) {
    if (!ok && !failed_) {
      failed_ = true;
      reason_ = errno;
    }
    return ok;
  }

  std::streambuf* to_;
  std::array<char, 8192> buffer_{};
  bool failed_ = false;
  int reason_ = 0;
};

// What was printed must have reached its reader: a failed write is an error, not a success.
int printed(std::ostream& out, const Witness& witness, std::ostream& err, const char* what) {
  out.flush();
  if (out) return 0;
  err << "cavewing: cannot write the " << what;
  if (witness.reason() != 0) err << ": " << std::strerror(witness.reason());
  err << "\n";
  return 1;
}

}  // namespace

int launch(const CommandLine& options, std::ostream& toReader, std::ostream& err,
           const OpenWindow& openWindow) {
  Witness witness(toReader.rdbuf());
  std::ostream out(&witness);
  out.copyfmt(toReader);
  // A file that reaches the size limit (ulimit -f) fails its write with EFBIG, which the game
  // handles as it does a full disk, instead of the signal ending the program.
  std::signal(SIGXFSZ, SIG_IGN);
  switch (options.action) {
    case CommandLine::Action::Help:
      out << CommandLine::usage("cavewing");
      return printed(out, witness, err, "help");
    case CommandLine::Action::Version:
      out << "cavewing " CAVEWING_VERSION
             "\nCopyright (c) 2026 The Cavewing developers\n"
             "MIT licence: free to use, copy, change and pass on; no warranty (see LICENSE).\n";
      return printed(out, witness, err, "version");
    case CommandLine::Action::Error:
      err << "cavewing: " << options.error << "\nTry 'cavewing --help' for more information.\n";
      return 2;
    case CommandLine::Action::Play:
      break;
  }

  CommandLine opened = options;
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
    // The ghost's game flies its own cave, on its own layout.
    if (!options.ghostFile.empty()) {
      replay::ReadResult read = replay::readFile(options.ghostFile);
      if (!read.recording) {
        err << "cavewing: " << options.ghostFile << ": " << read.error << "\n";
        return 2;
      }
      opened.seed = read.recording->seed;
      opened.wide = read.recording->wide();
      opened.ghost = std::move(read.recording);
    }
    if (options.headless) {
      const cabinet::Outcome outcome =
          cabinet::replayHeadless(*recording, options.trace ? &out : nullptr);
      cabinet::writeOutcome(out, outcome);
      return printed(out, witness, err, "outcome");
    }
  } catch (const std::bad_alloc&) {
    out.flush();
    err << "cavewing: " << options.replayFile << options.ghostFile
        << ": not enough memory to replay it\n";
    return 2;
  }
  return openWindow(opened, recording ? &*recording : nullptr);
}

cabinet::Sitting sittingFrom(const CommandLine& options) {
  return cabinet::Sitting{.seed = options.seed,
                          .wide = options.wide,
                          .scoresFile = options.scoresFile,
                          .recordFile = options.recordFile,
                          .demo = options.demo};
}
