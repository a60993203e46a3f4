// SPDX-License-Identifier: MIT
// SIGTERM, SIGHUP and SIGINT read from a signalfd by the event loop, and the program's end by the
// same signal once the window has closed.
#include "qt/EndSignals.h"

#include <sys/signalfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>

namespace {

sigset_t endingSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : {SIGTERM, SIGHUP, SIGINT}) sigaddset(&set, s);
  return set;
}

}  // namespace

void EndSignals::block() {
  const sigset_t set = endingSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void EndSignals::endBy(int signal) {
  std::signal(signal, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, signal);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  std::raise(signal);
  _exit(128 + signal);
}

EndSignals::EndSignals(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
  const sigset_t set = endingSignals();
  fd_ = ::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC);
  if (fd_ < 0) return;
  auto* notifier = new QSocketNotifier(fd_, QSocketNotifier::Read, this);
  connect(notifier, &QSocketNotifier::activated, this, [this] {
    signalfd_siginfo info{};
    while (::read(fd_, &info, sizeof info) == sizeof info)
      onSignal_(static_cast<int>(info.ssi_signo));
  });
}

EndSignals::~EndSignals() {
  if (fd_ >= 0) ::close(fd_);
}
