// SPDX-License-Identifier: MIT
#include "form/DataFolder.h"

#include <filesystem>
#include <ostream>

namespace form {

std::string userDataFolder(const std::string& program,
                           const std::function<std::string(const std::string&)>& environ,
                           std::ostream& warnings) {
  namespace fs = std::filesystem;
  const fs::path dataHome = environ("XDG_DATA_HOME");
  if (dataHome.is_absolute()) return (dataHome / program).string();
  const fs::path home = environ("HOME");
  if (home.is_absolute()) return (home / ".local/share" / program).string();
  warnings << "cavewing: no home folder (HOME is unset or not an absolute path): no recordings "
              "are kept, nor a high-score table outside the program's folder\n";
  return {};
}

}  // namespace form
