#pragma once
// Where the configuration file lives, creating it, and the rules for naming event sections.

#include <string>
#include <string_view>
#include <vector>

namespace almanex {

/// Config/Config.INI one level above the executable's folder, the portable layout:
/// /opt/almanex/bin/almanex -> /opt/almanex/Config/Config.INI, /almanex -> /Config/Config.INI.
std::string PortableConfigFilePathFor(std::string_view executablePath);
/// Where the data file lives for an executable: the portable path while its Config folder exists (a staged
/// tree, a copy on a USB stick); otherwise, as for an install into /usr/bin whose /usr/Config no user can
/// write, Almanex/Config.INI in the user's data folder ($XDG_DATA_HOME, default ~/.local/share). Empty when
/// the Config folder is missing and no home folder is known.
std::string ConfigFilePathFor(std::string_view executablePath);
/// The same for the running executable (/proc/self/exe), recomputed on every call. In the user's data
/// folder, the Almanex folder is created (0700) when missing, so that the file can be created there.
std::string ConfigFilePath();

/// Creates an empty file when none exists. The folder is never created here, nor the target of a dangling
/// symbolic link (false). False when the file is
/// missing and cannot be created; the caller then shows FailToCreateFileMessage and writes nothing.
bool EnsureFileExists(const std::string& path);
/// "Fail to create file <path>.\rPlease make sure the disk is not full or corrupted."
std::string FailToCreateFileMessage(const std::string& path);

/// True when the name contains "Event" (letter case significant).
bool IsEventSection(std::string_view section);
/// The name for a new event: the last "Event<p>", p = 1 .. n + 1, not among the n names (case ignored).
std::string NextEventName(const std::vector<std::string>& eventSections);

/// Text from the file as UTF-8 for display: valid UTF-8 as it is, anything else read as Windows-1252.
std::string DisplayText(std::string_view raw);

}  // namespace almanex
