#pragma once
// The user's folders by the XDG base directory rules: the home folder, and a base folder such as
// $XDG_DATA_HOME with its default below the home folder, read from the environment anew on every call;
// and where the running program itself lies.

#include <string>
#include <string_view>

namespace almanex {

/// $HOME when it is absolute, else the home folder of the password database; empty when neither is known.
std::string HomeFolder();

/// The base folder named by `variable` when it holds an absolute path (a relative one is invalid and
/// ignored), else the home folder followed by `defaultBelowHome` (".local/share"); without trailing '/'.
/// Empty when the variable is unusable and no home folder is known.
std::string XdgBaseFolder(const char* variable, std::string_view defaultBelowHome);

/// The running executable's full path (/proc/self/exe); empty when it cannot be read.
std::string ExecutablePath();

}  // namespace almanex
