#pragma once
// The one way this program replaces a file: a temporary file in the same folder, written and synced,
// renamed over the file, then the folder synced. A crash, a full disk or any failing step leaves the
// old file or the new one, never a torn one, and no temporary file behind.
//
// One behaviour for every caller (the profile file, the settings store, the autostart entry):
// - The temporary file is hidden and named after the file with a mark of our own,
//   ".Config.INI.almanex-tmp-" and six letters or digits. A writer killed between its create and its
//   rename leaves one behind; each replace removes those of the same file whose last change is more than
//   a minute old (a younger one may still be another writer's commit in progress).
// - An existing file keeps its mode, and its owner and group when the process may set them.
// - A new file gets the caller's mode, or 0666 less the umask when the caller names none.
// - A symbolic link is written through to its final target, so the link stays a link. A link is
//   followed only when it is owned by the effective user or by root (anyone else's link could point
//   the write at a file of ours it was never meant for), and the target of a dangling link is never
//   created: both are refused.
// - A file that exists but is not a regular file, or whose mode has no write bit, or that the process
//   may not write, is refused and left untouched (root passes every access() check, so the mode bits
//   are checked as well).
// - The folder sync after the rename cannot undo the replace: the new bytes are the file by then. Its
//   failure is therefore not a failed write (which promises the old file is untouched); it is sent as
//   a trace line.

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace almanex {

/// The system calls a replace makes; tests replace them to make a step fail.
class FileOperations {
 public:
  virtual ~FileOperations() = default;
  virtual long Write(int fd, const void* data, std::size_t size);  // ::write
  virtual int Fsync(int fd);                                       // ::fsync (of the file, then of its folder)
  virtual int Rename(const char* from, const char* to);            // ::rename
  /// The wall clock the age of a left-over temporary file is measured against.
  virtual std::chrono::system_clock::time_point Now();
};

/// The system calls themselves.
FileOperations& SystemFileOperations();

struct AtomicWriteOptions {
  /// The mode of a new file; none: 0666 less the umask. An existing file keeps its own.
  std::optional<mode_t> newFileMode;
  /// Missing folders of the path are created with this mode; none: a missing folder fails the write.
  std::optional<mode_t> folderMode;
  /// The system calls; null: SystemFileOperations(). Not owned.
  FileOperations* operations = nullptr;
};

/// Replaces the file at path (or, through symbolic links, their target) by bytes as described above.
/// Returns false when the file could not be replaced, with the old file untouched and a short reason
/// in error (when given).
bool WriteFileAtomically(const std::string& path, std::string_view bytes, const AtomicWriteOptions& options,
                         std::string* error = nullptr);

/// The mark between the file's name and the six random characters of a temporary file.
inline constexpr std::string_view kTemporaryMark = ".almanex-tmp-";
/// A temporary file older than this is left over from a writer that died; it is removed.
inline constexpr std::chrono::seconds kStaleTemporaryAge{60};

/// True when name (a name in a folder, no slash) is a temporary file of the file fileName: "." fileName
/// kTemporaryMark and six lower-case letters or digits.
bool IsTemporaryNameOf(std::string_view name, std::string_view fileName);

/// The file a write to path replaces: path with every symbolic link followed to its final target, or
/// nothing (reason set) when the writer refuses the link (another user's, dangling, or a chain too long).
std::optional<std::string> ResolveWriteTarget(const std::string& path, std::string* reason = nullptr);

/// Creates the folder path and its missing parents with mode. True when the folder exists afterwards.
bool CreateFolderChain(const std::string& path, mode_t mode);

}  // namespace almanex
