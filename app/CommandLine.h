#pragma once
// The program's own command line. It takes no arguments; --help and --version answer and end the
// program before anything starts (no window, no single-instance lock).

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace almanex {

/// The exit status the program ends with at once, after answering on `out` or `err`; nothing when it
/// starts normally (no arguments). --help and --version: 0; anything else: a usage error, 2.
std::optional<int> AnswerCommandLine(const std::vector<std::string>& arguments, const std::string& executablePath,
                                     std::ostream& out, std::ostream& err);

/// The one line written to stderr when no display can be reached; the program then ends with status 1.
inline constexpr const char* kNoDisplayMessage =
    "almanex: no display found (neither DISPLAY nor WAYLAND_DISPLAY names a reachable server); "
    "Almanex needs a graphical session";

}  // namespace almanex
