#include "CommitLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "AtomicFile.h"

namespace almanex {

namespace {

struct Holding {
  int fd = -1;      // the folder, open while the flock is held
  int holders = 0;  // CommitLock objects of this process that hold it
};

using FolderKey = std::pair<dev_t, ino_t>;

std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}

std::map<FolderKey, Holding>& Holdings() {
  static std::map<FolderKey, Holding> holdings;
  return holdings;
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

CommitLock CommitLock::Acquire(const std::string& path, std::chrono::milliseconds wait, std::string* error) {
  const auto fail = [error](std::string reason) {
    if (error != nullptr) *error = std::move(reason);
    return CommitLock();
  };
  std::string reason;
  const std::optional<std::string> target = ResolveWriteTarget(path, &reason);
  if (!target) return fail(reason);
  const std::string folder = FolderOf(*target);
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return fail("cannot open the folder " + folder + ": " + std::strerror(errno));
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    const int cause = errno;
    ::close(fd);
    return fail("cannot examine the folder " + folder + ": " + std::strerror(cause));
  }
  const FolderKey key{info.st_dev, info.st_ino};
  const Folder held{true, info.st_dev, info.st_ino};

  {
    const std::lock_guard<std::mutex> guard(RegistryMutex());
    const auto found = Holdings().find(key);
    if (found != Holdings().end()) {
      found->second.holders += 1;
      ::close(fd);
      return CommitLock(held);
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      Holdings().emplace(key, Holding{fd, 1});
      return CommitLock(held);
    }
  }
  if (errno != EWOULDBLOCK) {
    const int cause = errno;
    ::close(fd);
    return fail("cannot lock the folder " + folder + ": " + std::strerror(cause));
  }
  const auto timedOut = [&] {
    return fail("another program is writing in " + folder + " and did not finish within " +
                std::to_string(wait.count()) + " ms");
  };
  if (wait <= std::chrono::milliseconds(0)) {
    ::close(fd);
    return timedOut();
  }

  // Another process holds it. A thread blocks in flock for us: the kernel wakes it as soon as the holder
  // lets go, where polling would mostly miss the moment between two commits of a busy holder and starve.
  // Given up after `wait`, the thread lets go of whatever it gets later and ends (it stays blocked while
  // the other holder never lets go).
  struct Waiter {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    bool locked = false;
    bool abandoned = false;
    int error = 0;
  };
  const auto waiter = std::make_shared<Waiter>();
  try {
    std::thread([waiter, fd] {
      int result;
      do {
        result = ::flock(fd, LOCK_EX);
      } while (result != 0 && errno == EINTR);
      const int cause = result == 0 ? 0 : errno;
      const std::lock_guard<std::mutex> guard(waiter->mutex);
      if (waiter->abandoned) {
        ::close(fd);
        return;
      }
      waiter->finished = true;
      waiter->locked = result == 0;
      waiter->error = cause;
      waiter->done.notify_one();
    }).detach();
  } catch (const std::system_error&) {
    ::close(fd);
    return fail("cannot wait for the lock of the folder " + folder);
  }
  std::unique_lock<std::mutex> waiting(waiter->mutex);
  if (!waiter->done.wait_for(waiting, wait, [&] { return waiter->finished; })) {
    waiter->abandoned = true;  // the thread closes the folder
    return timedOut();
  }
  if (!waiter->locked) {
    ::close(fd);
    return fail("cannot lock the folder " + folder + ": " + std::strerror(waiter->error));
  }
  waiting.unlock();
  // This descriptor's flock excludes every other holder, in this process too, so no entry appeared meanwhile.
  const std::lock_guard<std::mutex> guard(RegistryMutex());
  Holdings().emplace(key, Holding{fd, 1});
  return CommitLock(held);
}

CommitLock& CommitLock::operator=(CommitLock&& other) noexcept {
  if (this != &other) {
    Release();
    folder_ = std::exchange(other.folder_, Folder{});
  }
  return *this;
}

void CommitLock::Release() {
  if (!folder_.held) return;
  const std::lock_guard<std::mutex> guard(RegistryMutex());
  const auto found = Holdings().find({folder_.device, folder_.inode});
  if (found != Holdings().end() && --found->second.holders == 0) {
    ::close(found->second.fd);  // releases the flock
    Holdings().erase(found);
  }
  folder_ = Folder{};
}

}  // namespace almanex
