// SPDX-License-Identifier: MIT
// Preloaded into a server under test: its wall clock runs CAVEWING_CLOCK_SHIFT seconds off the
// machine's, as another host's clock may.
#include <dlfcn.h>
#include <time.h>

#include <cstdlib>

extern "C" int clock_gettime(clockid_t clock, timespec* now) {
  using Real = int (*)(clockid_t, timespec*);
  static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "clock_gettime"));
  const int result = real(clock, now);
  const char* shift = std::getenv("CAVEWING_CLOCK_SHIFT");
  if (result == 0 && clock == CLOCK_REALTIME && shift) now->tv_sec += std::atol(shift);
  return result;
}
