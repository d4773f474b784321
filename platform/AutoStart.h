#pragma once
// The logon entry: a freedesktop autostart desktop entry that starts the program when the user logs on.
//
// The entry goes into the user's own autostart folder, $XDG_CONFIG_HOME/autostart (default
// ~/.config/autostart), never the system-wide one, which belongs to packages. It is written atomically and
// replaces any earlier one of the same name, so it follows the executable when that moves; an entry the
// desktop has switched off (Hidden=true or X-GNOME-Autostart-enabled=false) is left exactly as it is.

#include <string>
#include <string_view>

namespace almanex {

/// Writes `valueName`.desktop for `executablePath` into the user's autostart folder (see above), creating
/// the folder (0700) when missing. Gives up silently, without a trace, when the folder cannot be written,
/// when the entry there is switched off, and when the name is empty or not a plain file name, or the path
/// is not an absolute UTF-8 path free of control characters.
void RegisterAutoStart(std::string_view valueName, std::string_view executablePath);

/// The desktop entry's text for `valueName` and `executablePath`. The Exec line holds the path as its only
/// argument: in double quotes with '"', '`', '$' and '\' escaped by a backslash, '%' doubled, and then
/// every backslash doubled again by the string escapes of the format.
std::string AutoStartEntryText(std::string_view valueName, std::string_view executablePath);

/// True when a desktop entry's text switches it off: Hidden=true or X-GNOME-Autostart-enabled=false in its
/// [Desktop Entry] group.
bool IsAutoStartEntrySwitchedOff(std::string_view entryText);

/// The user's autostart folder, from the environment read anew on every call; empty when no home folder
/// is known.
std::string UserAutoStartFolder();

}  // namespace almanex
