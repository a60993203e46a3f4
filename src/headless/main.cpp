// SPDX-License-Identifier: MIT
// cavewing-headless: the program without its window, for replaying recordings where there is no
// desktop (in Node, compiled to WebAssembly). It reads the same command line as cavewing.
#include <iostream>
#include <new>

#include "start/words/Words.h"

int main(int argc, char* argv[]) {
  // Memory that runs out even before a recording is read is refused the same way: status 2.
  try {
    return launch({argv + 1, argv + argc}, std::cout, std::cerr,
                  [](const CommandLine&, const replay::Recording*) {
                    std::cerr << "cavewing: this program has no window; it plays recordings with "
                                 "--replay FILE --headless\n";
                    return 2;
                  });
  } catch (const std::bad_alloc&) {
    std::cerr << "cavewing: not enough memory\n";
    return 2;
  }
}
