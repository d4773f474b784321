#pragma once
// Reads of a mapped file that another program cuts short.
//
// A read-only snapshot (IniFile::ReadOnlyMapped) maps the file. When another program truncates that
// file in place while it is mapped, a read of a page past the new end raises SIGBUS, which ends the
// process. With the guard installed, such a page reads as zeros instead: the operation sees lines that
// hold nothing (its values fall back to their defaults), and the next operation reads the file as it
// now is. Faults anywhere else go to the handler that was there before.

#include <cstddef>

namespace almanex {

/// Installs the guard for the whole process (once; later calls do nothing). Call it after any other
/// handler of SIGBUS (a crash reporter) is installed: that one then still gets every other fault.
void GuardMappedReads();

namespace detail {
/// The mapped snapshots tell the guard where they are. Up to 16 at once are guarded.
void RegisterMapping(const void* start, std::size_t length);
void UnregisterMapping(const void* start);
}  // namespace detail

}  // namespace almanex
