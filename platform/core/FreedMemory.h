#pragma once
// Giving freed heap memory back to the system.
//
// A file operation of the main window (a list load, a reminder search) reads the whole configuration
// file into buffers of several megabytes and frees them at its end. The C library keeps freed heap
// pages mapped for reuse and raises its threshold for fresh mappings after the first large free, so
// without a hint a long-running window stays resident at the size of its largest operation.

namespace almanex {

/// Returns the free pages of the heap to the system (malloc_trim on glibc; nothing elsewhere). Costs a
/// walk over the heap's free blocks: call it after an operation that freed large buffers, not per tick.
void ReturnFreedMemory();

}  // namespace almanex
