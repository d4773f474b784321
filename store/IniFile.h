#pragma once
// The profile file: our INI layer with the Windows profile semantics.
//
// An IniFile is one operation on the file: the constructor reads the file once into a snapshot,
// reads are answered from it, writes are buffered, and Flush() commits them all at once by an atomic
// replace by WriteFileAtomically (base/AtomicFile.h): temporary file in the same folder, fsync, rename,
// fsync of the folder; a lone write that keeps the value's length goes in place instead (see Flush).
// A crash or a full disk leaves the old file or the new one, never a torn one.
//
// Semantics: section and key names compare without regard to case; the first matching section and
// key win on read; a rewritten key keeps its place; a new key goes at the end of its section and a new
// section at the end of the file; values are read with blanks stripped and one matching pair of
// single or double quotes removed; comment lines (";") and lines the reader does not understand are
// kept. LF, CR LF and CR are read; lines are added with the file's own line break when all its line
// breaks are alike, and with CR LF in a new, empty or mixed file; a UTF-8 byte-order mark is skipped on
// read and kept in the file. CR, LF and NUL never reach the file from a name or value (each becomes a blank).
//
// Details of the syntax:
// - A line whose first non-blank character is '[' is a section header; the name runs to the line's
//   last ']' (so a name may itself hold a ']'), or to the end of the line when it has none.
// - A line whose first non-blank character is ';' is a comment. Any other line with a '=' is an entry
//   (the key ends at the first '='); lines without '=', and entries before the first header, are kept
//   in the file and never read.
// - Names compare with ASCII letters folded to one case; other bytes compare exactly.
// - A name is cleaned the same way when it is written and when it is looked up, so what is written
//   under a name reads back under the same name: in a key, '=' becomes a blank and leading '[' and ';'
//   are dropped (the line would otherwise read as a header or a comment); in both, CR, LF and NUL
//   become blanks and blanks around the name are dropped.
// - A rewritten key keeps its line (written with the writer's spelling of the key); a new key goes
//   right after the last entry line of its section, before any blank or comment lines that follow it;
//   a new section is appended at the end of the file. Bytes of everything not written are kept as
//   they are, whatever their encoding.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/AtomicFile.h"
#include "base/CommitLock.h"
#include "datetime/DateTime.h"
#include "datetime/FormatSettings.h"

namespace almanex {

class FileFormats;

namespace detail {
struct IniSnapshot;
struct IniPending;
}  // namespace detail

/// A write into the file failed: "Unable to write to <path>".
class EIniWriteError : public std::runtime_error {
 public:
  explicit EIniWriteError(const std::string& path);
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

/// One state of the file on disk as the file system tells it: device, inode, size, modification and
/// change times (nanoseconds). Every commit changes it (a replace makes a new inode; a write in place
/// moves both times), and so does any other program's write short of one that keeps the size and lands
/// within the same tick of the file system's clock.
struct IniFileStamp {
  bool exists = false;
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::int64_t size = 0;
  std::int64_t modified = 0;
  std::int64_t changed = 0;
  bool operator==(const IniFileStamp&) const = default;
};

/// When an operation holds the commit lock (base/CommitLock.h) against other processes' commits.
enum class IniLock {
  /// For its commit only: the commit re-reads a file another program changed since the read and applies
  /// the writes to what it holds now. Right for writes that do not depend on what was read.
  kAtCommit,
  /// From the read to the end of the operation: nobody else commits in between, so what the operation
  /// read is still the file when it commits (a count read and written plus one loses no other
  /// process's step). Taken with a bounded wait; when the wait runs out the operation still reads, and
  /// its commit fails if the file changed meanwhile.
  kWholeOperation,
};

class IniFile {
 public:
  /// Opens a snapshot of the file at path (read and parsed once). A missing file, an unreadable one, a
  /// folder or anything but a regular file reads as empty; a file that exists but cannot be read is
  /// never replaced (Flush throws), so nothing in it is lost. `operations` (not owned) defaults to the
  /// system calls. `lock` says how long the operation holds the commit lock.
  explicit IniFile(std::string path, FileOperations* operations = nullptr, IniLock lock = IniLock::kAtCommit);
  /// Chooses the read-only constructor.
  struct ReadOnlyMapped {};
  /// A snapshot for a reader that never writes (almanex-cli): the file is mapped, not copied; only
  /// its sections are indexed up front and the keys of one section when it is read, and the file's
  /// pages far behind the section being read are given back. So the resident size stays a few
  /// megabytes whatever the file's size. Reads answer as above; Flush() of a write throws
  /// EIniWriteError and the file is never written. Another program that truncates the file in place
  /// while it is read makes a read past the new end raise SIGBUS (the program's own writes replace
  /// the file and never do), unless GuardMappedReads() (MappedReadGuard.h) is installed: such pages
  /// then read as zeros.
  IniFile(std::string path, ReadOnlyMapped);
  /// Chooses the constructor for writes made in place only.
  struct InPlaceOnly {};
  /// A mapped snapshot as ReadOnlyMapped, under the commit lock from the read to the end (as
  /// kWholeOperation), for many small writes that are each right alone, such as clearing marks: its
  /// writes are committed by FlushInPlace(); Flush() throws EIniWriteError and the destructor commits
  /// nothing.
  IniFile(std::string path, InPlaceOnly, FileOperations* operations = nullptr);
  /// Commits pending writes, best effort: a failure is swallowed, never thrown. It does not retry a
  /// commit that a Flush() already reported as failed. Callers that must know call Flush() first.
  ~IniFile();
  IniFile(const IniFile&) = delete;
  IniFile& operator=(const IniFile&) = delete;

  const std::string& Path() const { return path_; }

  /// Every section name in file order, a name repeated later in the file listed once.
  std::vector<std::string> SectionNames() const;
  /// Calls visit with each name SectionNames() would list, in the same order, without copying them.
  /// A name stays valid during its call only; visit may read this object but must not write to it.
  void ForEachSectionName(const std::function<void(std::string_view)>& visit) const;
  bool SectionExists(std::string_view section) const;

  /// The raw value as read (blanks and one pair of quotes stripped); nothing when the key is absent.
  /// Reads see this object's pending writes. The view stays valid until the next write, erase or
  /// Flush() on this object.
  std::optional<std::string_view> ReadValue(std::string_view section, std::string_view key) const;
  std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
  /// Decimal, or hexadecimal after "$", "0x" or "0X" (32 bits, wrapping: $FF000005 is -16777211).
  std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t fallback) const;
  bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;
  /// The date in the short date format, at midnight. A file that records the formats it was written in
  /// is read with those first (FileFormats.h). Every reader's default is its now or today, so the
  /// fallback's year is the current year for a date typed without a year or with two digits.
  DateTime ReadDate(std::string_view section, std::string_view key, DateTime fallback,
                    const FormatSettings& settings) const;
  /// The time of day in the long time format, the file's recorded format first.
  DateTime ReadTime(std::string_view section, std::string_view key, DateTime fallback,
                    const FormatSettings& settings) const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);
  /// Dates and times are written in the formats the file records; a file that records none records
  /// `settings` with its first date or time.
  void WriteDate(std::string_view section, std::string_view key, DateTime value, const FormatSettings& settings);
  void WriteTime(std::string_view section, std::string_view key, DateTime value, const FormatSettings& settings);
  /// Removes the header and every key of the section (every section of that name).
  void EraseSection(std::string_view section);

  /// Commits the buffered writes at once, under the commit lock. Throws EIniWriteError when the file
  /// cannot be written (a read-only file, a missing folder, a dangling symbolic link or one of another
  /// user, any failing write, sync or rename, another process's commit that does not end within
  /// kCommitLockWait, or a file changed since the read of a kWholeOperation operation that could not take
  /// the lock at its start); the file is then unchanged, no temporary file is left, and the writes stay
  /// pending so that a later Flush() can retry. A symbolic link is written through to its target; the
  /// file's mode and owner are kept (see WriteFileAtomically). When another program
  /// changed the file since it was read, the writes are applied to its new content. Nothing to commit
  /// writes nothing.
  ///
  /// A commit whose one write changes a value for another of the same length (a reminded mark "0" to
  /// "1"), with the changed bytes within one 512-byte block of the file, is written in place: one write
  /// of those bytes into the file and a sync, not a rewrite of the whole file. A process killed at any
  /// moment, or a device that writes a sector whole on power loss, leaves the old bytes or the new ones.
  /// Only a regular file of the user's own with one link, unchanged since the read, is written so; any
  /// other goes the atomic way.
  void Flush();
  bool HasPendingWrites() const;
  /// Writes each pending write that can go in place (as a commit of that write alone would, see Flush)
  /// into the file, then syncs it once. The writes are not committed as one: a crash or a failing write
  /// leaves some of them in the file and not others, each whole. Writes that cannot go in place (another
  /// length, a line not in the writer's form, an erase) stay pending; so do all when the file changed
  /// since the read, is a link, has another name or is not the user's. True when none is left. Throws
  /// EIniWriteError when a write or the sync fails.
  bool FlushInPlace();
  /// Whether the file already holds, byte for byte, the line WriteString(section, key, value) would
  /// leave, so that the write would change nothing (and commits nothing).
  bool HoldsLine(std::string_view section, std::string_view key, std::string_view value) const;
  /// The file's state the snapshot was read from, or, after a Flush(), the state it left.
  IniFileStamp Stamp() const;

 private:
  const detail::IniSnapshot& Parsed() const;
  /// The snapshot's index of a section named as a caller spells it (not yet cleaned), kNoSection when
  /// absent. Reads come in runs on one section, so the last answer is kept under the caller's spelling
  /// and a repeated name costs one comparison instead of cleaning it and a hash lookup.
  std::uint32_t FindSnapshotSection(std::string_view section) const;
  /// FindSnapshotSection for a name other than the last one: cleans it and looks it up in the hash table.
  std::uint32_t LookUpSnapshotSection(std::string_view section) const;
  static constexpr std::uint32_t kNoSection = 0xFFFFFFFFu;
  /// The formats the file records, read once and kept until the formats section is written or erased
  /// or the file is read anew. `current` lends what the file does not record.
  const FileFormats& Formats(const FormatSettings& current) const;
  /// Records `current` as the file's formats when it records none that can be used.
  void RecordFormatsIfMissing(const FormatSettings& current);
  /// The in-place commit of Flush(): true when it wrote the pending write, false when the commit must
  /// take the atomic way (nothing written then). Throws EIniWriteError when the write or its sync
  /// fails; the old bytes are put back first.
  bool CommitInPlace();

  std::string path_;
  FileOperations* operations_;
  bool lockWholeOperation_;
  CommitLock operationLock_;  // taken before the snapshot is read, for kWholeOperation
  std::unique_ptr<detail::IniSnapshot> snapshot_;
  std::unique_ptr<detail::IniPending> pending_;
  bool commitFailed_ = false;
  bool readOnly_ = false;
  mutable std::string lastSectionName_;
  mutable std::uint32_t lastSection_ = kNoSection;
  mutable std::unique_ptr<FileFormats> formats_;
};

/// Integer text as the store reads it: decimal, or hexadecimal after "$", "0x" or "0X".
std::optional<std::int32_t> ParseIniInteger(std::string_view text);

}  // namespace almanex
