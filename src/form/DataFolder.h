// SPDX-License-Identifier: MIT
// The player's own folder for the program's data, by the XDG base-directory rules: under
// $XDG_DATA_HOME when it is an absolute path, else under $HOME/.local/share. A relative
// XDG_DATA_HOME is ignored; with no usable home (HOME unset, empty or relative) there is no such
// folder, and the game keeps nothing of the player's rather than writing from the root of the
// file system or the current folder.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

namespace form {

// The base folder named by the XDG variable `variable` when it holds an absolute path, else
// `inHome` under an absolute HOME; empty when neither.
std::string xdgBaseFolder(const std::function<std::string(const std::string&)>& environ,
                          const std::string& variable, const std::string& inHome);

// The folder for `program`'s data, found through `environ` (an environment variable's value,
// empty when unset). Empty when there is none, and then one line on `warnings` says so.
std::string userDataFolder(const std::string& program,
                           const std::function<std::string(const std::string&)>& environ,
                           std::ostream& warnings);

}  // namespace form
