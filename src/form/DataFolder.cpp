// SPDX-License-Identifier: MIT
// The player's data folder by the XDG base-directory rules.
#include "form/DataFolder.h"

#include <filesystem>
#include <ostream>

namespace form {

std::string xdgBaseFolder(const std::function<std::string(const std::string&)>& environ,
                          const std::string& variable, const std::string& inHome) {
  namespace fs = std::filesystem;
  const fs::path base = environ(variable);
  if (base.is_absolute()) return base.string();
  const fs::path home = environ("HOME");
  return home.is_absolute() ? (home / inHome).string() : std::string();
}

std::string userDataFolder(const std::string& program,
                           const std::function<std::string(const std::string&)>& environ,
                           std::ostream& warnings) {
  const std::string base = xdgBaseFolder(environ, "XDG_DATA_HOME", ".local/share");
  if (!base.empty()) return (std::filesystem::path(base) / program).string();
  warnings << "cavewing: no home folder (HOME is unset or not an absolute path): no recordings "
              "are kept, nor a high-score table outside the program's folder\n";
  return {};
}

}  // namespace form
