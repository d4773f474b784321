#pragma once
// How the desktop knows the program: the name of its desktop entry (without ".desktop"), which is also
// the name of its icon in the icon theme and the application id a Wayland compositor sees.

namespace almanex {

inline constexpr const char* kDesktopEntryId = "io.github.quorvel.Almanex";

}  // namespace almanex
