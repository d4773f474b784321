#pragma once
// The profile file: our INI layer with the Windows profile semantics.
//
// An IniFile is one operation on the file: the constructor reads the file once into a snapshot,
// reads are answered from it, writes are buffered, and Flush() commits them all at once by an atomic
// replace (temporary file in the same folder, fsync, rename, fsync of the folder). A crash or a full
// disk leaves the old file or the new one, never a torn one.
//
// Semantics: section and key names compare without regard to case; the first matching section and
// key win on read; a rewritten key keeps its place; a new key goes at the end of its section and a new
// section at the end of the file; values are read with blanks stripped and one matching pair of
// single or double quotes removed; comment lines (";") and lines the reader does not understand are
// kept. LF, CR LF and CR are read; CR LF is written; a UTF-8 byte-order mark is skipped. CR, LF and NUL
// never reach the file from a name or value (each becomes a blank).

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "datetime/DateTime.h"
#include "datetime/FormatSettings.h"

namespace almanex {

/// A write into the file failed: "Unable to write to <path>".
class EIniWriteError : public std::runtime_error {
 public:
  explicit EIniWriteError(const std::string& path);
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

/// The system calls a commit makes; tests replace them to make a step fail.
class FileOperations {
 public:
  virtual ~FileOperations() = default;
  virtual long Write(int fd, const void* data, std::size_t size);  // ::write
  virtual int Fsync(int fd);                                        // ::fsync
  virtual int Rename(const char* from, const char* to);            // ::rename
};

class IniFile {
 public:
  /// Opens a snapshot of the file at path. A missing or unreadable file, or a folder, reads as empty.
  explicit IniFile(std::string path, FileOperations* operations = nullptr);
  ~IniFile();
  IniFile(const IniFile&) = delete;
  IniFile& operator=(const IniFile&) = delete;

  const std::string& Path() const { return path_; }

  /// Every section name in file order, a name repeated later in the file listed once.
  std::vector<std::string> SectionNames() const;
  bool SectionExists(std::string_view section) const;

  /// The raw value as read (blanks and one pair of quotes stripped); nothing when the key is absent.
  std::optional<std::string_view> ReadValue(std::string_view section, std::string_view key) const;
  std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const;
  /// Decimal, or hexadecimal after "$", "0x" or "0X" (32 bits, wrapping: $FF000005 is -16777211).
  std::int32_t ReadInteger(std::string_view section, std::string_view key, std::int32_t fallback) const;
  bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;
  /// The date in the short date format, at midnight.
  DateTime ReadDate(std::string_view section, std::string_view key, DateTime fallback,
                    const FormatSettings& settings) const;
  /// The time of day in the long time format.
  DateTime ReadTime(std::string_view section, std::string_view key, DateTime fallback,
                    const FormatSettings& settings) const;

  void WriteString(std::string_view section, std::string_view key, std::string_view value);
  void WriteInteger(std::string_view section, std::string_view key, std::int32_t value);
  void WriteBool(std::string_view section, std::string_view key, bool value);
  void WriteDate(std::string_view section, std::string_view key, DateTime value, const FormatSettings& settings);
  void WriteTime(std::string_view section, std::string_view key, DateTime value, const FormatSettings& settings);
  /// Removes the header and every key of the section (every section of that name).
  void EraseSection(std::string_view section);

  /// Commits the buffered writes at once. Throws EIniWriteError when the file cannot be written (a
  /// read-only file included); the file is then unchanged. Nothing to commit writes nothing.
  void Flush();
  bool HasPendingWrites() const;

 private:
  struct Snapshot;
  std::string path_;
  FileOperations* operations_;
  std::unique_ptr<Snapshot> snapshot_;
};

/// Integer text as the store reads it: decimal, or hexadecimal after "$", "0x" or "0X".
std::optional<std::int32_t> ParseIniInteger(std::string_view text);

}  // namespace almanex
