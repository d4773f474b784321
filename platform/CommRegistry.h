#pragma once
// The registry helpers of the main window and the event dialog: window placement and the event-type
// list, kept below the product key of the current user's settings store (platform/Registry.h).
//
// None of them shows anything to the user or throws. A failure stops the operation where it happened
// (work done before it stays done) and sends one trace line from "CommUnit".

#include <string>
#include <string_view>

class QWidget;

namespace almanex {

/// The product key; sub-keys are appended to it directly.
inline constexpr std::string_view kProductKey = "Software\\Quorvel\\Almanex\\2.0\\Almanex\\";

/// Restores the window's outer bounds from product key + window title + "\Position". When the key does not
/// exist the window is centred on its screen with its present (designed) size and nothing else changes; a
/// store that cannot be read does the same and traces the line below. Otherwise "Height", "Left", "Top"
/// and "Width" are applied in this order; the first one that is missing or not a DWORD stops the restore
/// with the trace line "Failed to get FormPosition information from Registry.". Left and Top place the
/// outer frame (window managers that do not let clients place windows, as under Wayland, may ignore them).
/// The outer size stays exact also when the window manager frames the window only after this call: the
/// client area is shrunk by the frame as soon as it is known. A placement whose top edge no screen shows
/// any more is moved onto the nearest screen's free area.
void ReadFormPosition(QWidget& form);

/// Writes the window's outer bounds (frame geometry; while maximised or full screen, those of its normal
/// state) as "Height", "Left", "Top", "Width", in this order,
/// into product key + window title + "\Position", creating the key. Negative coordinates are stored as
/// their 32-bit two's complement. Failure: trace "Failed to write Registry about FormPosition.".
void WriteFormPosition(QWidget& form);

/// Writes the UTF-8 string `value` as `valueName` into product key + `subKey`, creating the key.
/// Failure: trace "Failed to write Registry.".
void WriteRegistryString(std::string_view subKey, std::string_view valueName, std::string_view value);

/// Reads the string `valueName` from product key + `subKey`. A missing key or value gives "" without a
/// trace; a value of another type, or a store that cannot be read, gives "" and traces
/// "Failed to read Registry.".
std::string ReadRegistryString(std::string_view subKey, std::string_view valueName);

}  // namespace almanex
