#pragma once
// The per-user settings store that stands in for the current user's registry hive.
//
// The store is one text file, $XDG_CONFIG_HOME/Quorvel/Almanex/registry.reg (XDG_CONFIG_HOME defaults to
// ~/.config), in the REGEDIT4 layout:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Quorvel\Almanex\2.0\Almanex\Almanex\Position]
//   "Height"=dword:0000012c
//   "Type"="Anniversary\r\nBirthday\r\n"
//
// Keys and value names compare case-insensitively, as in the registry. A string value is written between
// double quotes with these escapes, so that every byte string reads back exactly as it was written:
//   \\  backslash        \"  double quote
//   \r  CR               \n  LF            \t  TAB
//   \xHH  any other control byte (0x00-0x1F, 0x7F) and any byte that is not part of valid UTF-8
// Everything else (printable ASCII and valid UTF-8) is written as it is, so the file is always valid UTF-8
// and holds one value per line. A DWORD is "dword:" and eight hexadecimal digits (one to eight are read).
// The empty value name, the key's default value, is written as @. Values of other types (hex:, hex(2):,
// ...), ';' comment lines and sections under other roots are kept as they are but cannot be read: reading
// one fails as a wrong type would. Such a value continues on the next line after a trailing backslash; a
// backslash on the file's last line continues nothing and is dropped. A U+FEFF is a byte-order mark only
// as the file's first character; in a name it is part of the name.
//
// A file written under a Windows code page (not valid UTF-8 as a whole) is read as Windows-1252 and
// rewritten as UTF-8. A file that cannot be read, is not a regular file (a folder, a FIFO: refused at
// once, without waiting for a writer) or does not parse makes every open fail with
// `RegistryStatus::Unreadable`, and nothing is written into it: a write never destroys data it could not
// understand. Each such refusal sends a trace line from "Registry".
//
// Writes are buffered in the open key and committed by `Close` (or the destructor) with one atomic
// replace of the file by WriteFileAtomically (base/AtomicFile.h). An open key holds the commit lock
// (base/CommitLock.h) from its open to its commit, so that another process's commit never falls between
// what the key read and what it writes; a commit that cannot take the lock within kCommitLockWait writes
// nothing and gives `WriteFailed`. The commit re-reads the file first, so two keys open at the same time
// and a hand edit made meanwhile do not undo each other's writes. A missing folder chain is created with
// mode 0700; a new file gets mode 0600; everything else (kept mode and owner, symbolic links, refusal of
// a read-only file) is the writer's one behaviour.

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace almanex {

/// What a registry call reports. `Ok` is the only success.
enum class RegistryStatus {
  Ok,
  NotFound,     ///< the key (on open without create) or the value does not exist
  WrongType,    ///< the value exists with another type
  Unreadable,   ///< the store file exists but cannot be read or does not parse
  InvalidName,  ///< an empty key path component, or a control character in a key path
  WriteFailed,  ///< the commit could not replace the file (the old file is untouched)
  NotOpen,      ///< the key object holds no open key
};

/// The store file of the current user: $XDG_CONFIG_HOME/Quorvel/Almanex/registry.reg, with
/// XDG_CONFIG_HOME (when unset, empty or relative) taken as $HOME/.config. Read anew on every call.
std::string CurrentUserRegistryPath();

/// One open key of the store, modelled on a registry key handle. Move-only; closing commits.
class RegistryKey {
 public:
  RegistryKey();
  ~RegistryKey();  ///< Commits pending writes like `Close`, ignoring the result.
  RegistryKey(RegistryKey&&) noexcept;
  RegistryKey& operator=(RegistryKey&&) noexcept;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  /// Opens `keyPath` (components separated by backslashes; one leading and one trailing backslash are
  /// ignored) below HKEY_CURRENT_USER in the store at `storePath`. A key exists when it or one of its
  /// sub-keys holds a section in the file. Without `create` a missing key gives `NotFound`; with it the key
  /// is created at commit. Any key already open in this object is closed (committed) first.
  RegistryStatus Open(std::string_view keyPath, bool create, const std::string& storePath = CurrentUserRegistryPath());

  bool IsOpen() const;

  /// Reads a DWORD. `NotFound` when the value is missing, `WrongType` when it is not a DWORD; `value` is
  /// left unchanged on failure.
  RegistryStatus ReadDword(std::string_view valueName, std::uint32_t& value) const;
  /// Reads a string. `NotFound` when the value is missing, `WrongType` when it is not a string; `value` is
  /// left unchanged on failure.
  RegistryStatus ReadString(std::string_view valueName, std::string& value) const;

  /// Buffers a DWORD write; a value of the same name (any type) is replaced.
  RegistryStatus WriteDword(std::string_view valueName, std::uint32_t value);
  /// Buffers a string write; any bytes are allowed and read back unchanged.
  RegistryStatus WriteString(std::string_view valueName, std::string_view value);

  /// Commits the buffered writes (and the key's creation) and closes the key. The key is closed whatever
  /// the result. `NotOpen` when nothing was open.
  RegistryStatus Close();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace almanex
