#include "AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>

#include "Trace.h"

namespace almanex {

namespace {

constexpr std::string_view kTraceSource = "AtomicFile";
// As many links as the kernel follows before it gives up with ELOOP.
constexpr int kMaximumLinks = 40;

std::string ErrnoText(int error) { return std::strerror(error); }

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

/// Six letters or digits that differ between calls and processes; the exclusive create retries on a clash.
std::string RandomSuffix() {
  static std::atomic<std::uint64_t> counter{0};
  std::uint64_t seed = static_cast<std::uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count());
  seed ^= static_cast<std::uint64_t>(::getpid()) << 32;
  seed += counter.fetch_add(1) * 0x9E3779B97F4A7C15ull;
  seed ^= seed >> 31;
  seed *= 0xBF58476D1CE4E5B9ull;
  seed ^= seed >> 29;
  static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::string suffix;
  for (int i = 0; i < 6; ++i) {
    suffix += kAlphabet[seed % 36];
    seed /= 36;
  }
  return suffix;
}

/// The file a write to path must replace: every symbolic link followed to its final target. Refused
/// (nothing returned, reason set) for a link owned by another user than the effective one or root, for
/// a dangling link and for a chain too long to follow.
std::optional<std::string> FollowLinks(const std::string& path, std::string& reason) {
  std::string current = path;
  for (int hop = 0; hop <= kMaximumLinks; ++hop) {
    struct stat info {};
    if (::lstat(current.c_str(), &info) != 0) {
      if (hop == 0) return current;  // no file yet (or no folder: the write reports that)
      reason = "the symbolic link points to " + current + ", which does not exist";
      return std::nullopt;
    }
    if (!S_ISLNK(info.st_mode)) return current;
    if (hop == kMaximumLinks) break;
    if (info.st_uid != ::geteuid() && info.st_uid != 0) {
      reason = "the symbolic link " + current + " belongs to another user";
      return std::nullopt;
    }
    std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1, '\0');
    const ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) {
      reason = "cannot read the symbolic link " + current;
      return std::nullopt;
    }
    target.resize(static_cast<std::size_t>(length));
    current = target.front() == '/' ? target : FolderOf(current) + "/" + target;
  }
  reason = "too many symbolic links";
  return std::nullopt;
}

/// Removes the temporary files of fileName in folder that the last change left more than
/// kStaleTemporaryAge before now: only regular files of ours (our name pattern, owned by the effective
/// user), never through a link. Failures are ignored; the next replace tries again.
void RemoveStaleTemporaries(const std::string& folder, const std::string& fileName, FileOperations& operations) {
  DIR* const listing = ::opendir(folder.c_str());
  if (listing == nullptr) return;
  const auto cutoff = operations.Now() - kStaleTemporaryAge;
  const int folderFd = ::dirfd(listing);
  while (const dirent* entry = ::readdir(listing)) {
    if (!IsTemporaryNameOf(entry->d_name, fileName)) continue;
    struct stat info {};
    if (::fstatat(folderFd, entry->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
    if (!S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) continue;
    const auto changed =
        std::chrono::system_clock::time_point(std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::seconds(info.st_mtim.tv_sec) + std::chrono::nanoseconds(info.st_mtim.tv_nsec)));
    if (changed < cutoff) ::unlinkat(folderFd, entry->d_name, 0);
  }
  ::closedir(listing);
}

}  // namespace

bool IsTemporaryNameOf(std::string_view name, std::string_view fileName) {
  constexpr std::size_t kRandomLength = 6;
  if (name.size() != 1 + fileName.size() + kTemporaryMark.size() + kRandomLength) return false;
  if (name.front() != '.' || name.substr(1, fileName.size()) != fileName) return false;
  if (name.substr(1 + fileName.size(), kTemporaryMark.size()) != kTemporaryMark) return false;
  for (const char c : name.substr(name.size() - kRandomLength)) {
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

std::optional<std::string> ResolveWriteTarget(const std::string& path, std::string* reason) {
  std::string why;
  std::optional<std::string> target = FollowLinks(path, why);
  if (!target && reason != nullptr) *reason = std::move(why);
  return target;
}

long FileOperations::Write(int fd, const void* data, std::size_t size) { return ::write(fd, data, size); }
int FileOperations::Fsync(int fd) { return ::fsync(fd); }
int FileOperations::Rename(const char* from, const char* to) { return ::rename(from, to); }
std::chrono::system_clock::time_point FileOperations::Now() { return std::chrono::system_clock::now(); }

FileOperations& SystemFileOperations() {
  static FileOperations operations;
  return operations;
}

bool CreateFolderChain(const std::string& path, mode_t mode) {
  if (path.empty()) return false;
  std::size_t position = 0;
  for (;;) {
    position = path.find('/', position + 1);
    const std::string prefix = path.substr(0, position);
    if (!prefix.empty() && prefix != "/") {
      if (::mkdir(prefix.c_str(), mode) != 0 && errno != EEXIST) return false;
    }
    if (position == std::string::npos) break;
  }
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, const AtomicWriteOptions& options,
                         std::string* error) {
  const auto fail = [error](std::string reason) {
    if (error != nullptr) *error = std::move(reason);
    return false;
  };
  FileOperations& operations = options.operations != nullptr ? *options.operations : SystemFileOperations();
  std::string reason;
  const std::optional<std::string> followed = FollowLinks(path, reason);
  if (!followed) return fail(reason);
  const std::string& target = *followed;
  const std::string folder = FolderOf(target);
  const std::string name = NameOf(target);
  if (name.empty()) return fail("no file name");
  if (options.folderMode && !CreateFolderChain(folder, *options.folderMode)) {
    return fail("cannot create the folder " + folder);
  }

  struct stat existing {};
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (!exists && errno != ENOENT) return fail("cannot examine " + target + ": " + ErrnoText(errno));
  if (exists) {
    if (!S_ISREG(existing.st_mode)) return fail(target + " is not a regular file");
    if ((existing.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(target.c_str(), W_OK) != 0) {
      return fail(target + " is read-only");
    }
  }

  // Before the new temporary file: on a full disk the space of dead writers' files is what this write needs.
  RemoveStaleTemporaries(folder, name, operations);

  // Created private (or, for a new file without a mode of the caller's, as the umask allows): the
  // mode below is set before a byte is written.
  const mode_t createMode = exists || options.newFileMode ? 0600 : 0666;
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = folder + "/." + name + std::string(kTemporaryMark) + RandomSuffix();
    fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, createMode);
    if (fd < 0 && errno != EEXIST) {
      return fail("cannot create a temporary file in " + folder + ": " + ErrnoText(errno));
    }
  }
  if (fd < 0) return fail("cannot create a temporary file in " + folder);
  const auto discard = [&](std::string why) {
    if (fd >= 0) ::close(fd);
    ::unlink(temporary.c_str());
    return fail(std::move(why));
  };

  if (exists) {
    // The owner is kept where the process may set it (root, or a group the user belongs to); a file
    // system without owners still takes the new bytes.
    if (existing.st_uid != ::geteuid() || existing.st_gid != ::getegid()) {
      (void)::fchown(fd, existing.st_uid, existing.st_gid);
    }
    // After the fchown, which clears set-user-ID bits.
    if (::fchmod(fd, existing.st_mode & 07777) != 0) return discard("cannot set the mode: " + ErrnoText(errno));
  } else if (options.newFileMode) {
    if (::fchmod(fd, *options.newFileMode) != 0) return discard("cannot set the mode: " + ErrnoText(errno));
  }

  for (std::size_t written = 0; written < bytes.size();) {
    const long count = operations.Write(fd, bytes.data() + written, bytes.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return discard("cannot write: " + ErrnoText(count < 0 ? errno : EIO));
    written += static_cast<std::size_t>(count);
  }
  if (operations.Fsync(fd) != 0) return discard("cannot flush: " + ErrnoText(errno));
  const int closed = ::close(fd);
  fd = -1;
  if (closed != 0) return discard("cannot close: " + ErrnoText(errno));
  if (operations.Rename(temporary.c_str(), target.c_str()) != 0) return discard("cannot rename: " + ErrnoText(errno));

  // The new bytes are the file now. Syncing the folder makes the rename itself durable; a file system
  // that cannot sync folders (EINVAL) has nothing more to offer, and any other failure cannot undo the
  // replace, so it is traced rather than reported as a failed write.
  const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  const int syncError = folderFd < 0 ? errno : (operations.Fsync(folderFd) == 0 ? 0 : errno);
  if (folderFd >= 0) ::close(folderFd);
  if (syncError != 0 && syncError != EINVAL) {
    TraceLazy(kTraceSource, [&] {
      return target + ": replaced, but the folder could not be synced (" + ErrnoText(syncError) +
             "); the rename may not survive a crash";
    });
  }
  return true;
}

}  // namespace almanex
