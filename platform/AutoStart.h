#pragma once
// The logon entry: a freedesktop autostart desktop entry that starts the program when the user logs on.
//
// The system-wide autostart folder, autostart/ below the first absolute entry of $XDG_CONFIG_DIRS
// (default /etc/xdg), is tried first; when that cannot be written the user's own,
// $XDG_CONFIG_HOME/autostart (default ~/.config/autostart). The entry is written atomically and replaces
// any earlier one of the same name, so it follows the executable when that moves.

#include <string>
#include <string_view>

namespace almanex {

/// Writes `valueName`.desktop for `executablePath` into the first autostart folder that accepts it (see
/// above), creating the folder when missing. Gives up silently, without a trace, when neither accepts it,
/// and when the name is empty or not a plain file name, or the path is not an absolute UTF-8 path free
/// of control characters.
void RegisterAutoStart(std::string_view valueName, std::string_view executablePath);

/// The desktop entry's text for `valueName` and `executablePath`. The Exec line holds the path as its only
/// argument: in double quotes with '"', '`', '$' and '\' escaped by a backslash, '%' doubled, and then
/// every backslash doubled again by the string escapes of the format.
std::string AutoStartEntryText(std::string_view valueName, std::string_view executablePath);

/// The folders tried in order: the system-wide one, then the user's (from the environment, read anew on
/// every call). The second is empty when no home folder is known.
std::string SystemAutoStartFolder();
std::string UserAutoStartFolder();

}  // namespace almanex
