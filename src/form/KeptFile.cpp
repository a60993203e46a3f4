// SPDX-License-Identifier: MIT
// Files the game keeps: opening through symbolic links to a regular file only, the lock held from
// reading to saving, bounded reading, and the two ways of saving (a new copy renamed into place,
// or in place behind a backup) with the debris of killed saves cleared.
#include "form/KeptFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>

namespace form {

namespace {

namespace fs = std::filesystem;

constexpr const char* TempMark = ".cavewing-tmp-";

std::string reason(const std::string& what) { return what + ": " + std::strerror(errno); }

std::string folderOf(const std::string& path) {
  const fs::path p(path);
  return p.has_parent_path() ? p.parent_path().string() : std::string(".");
}

std::string tempPrefix(const std::string& path) {
  return "." + fs::path(path).filename().string() + TempMark;
}

// The file a chain of symbolic links ends at (the path itself when it is no link).
std::string followLinks(std::string path) {
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char target[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), target, sizeof target - 1);
    if (n < 0) return path;
    const fs::path next(std::string(target, static_cast<std::size_t>(n)));
    path = next.is_absolute() ? next.string() : (fs::path(folderOf(path)) / next).string();
  }
  return path;  // a loop: opening it fails with the system's reason
}

// The mode bits decide, not access(), which says yes to root whatever they say.
bool modeAllowsWriting(int fd, const struct stat& st) {
  if ((st.st_mode & 0222) == 0) return false;
  if (::geteuid() == 0) return true;
  char self[32];
  std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd);
  return ::access(self, W_OK) == 0 || errno == ENOENT;
}

// Writes all of `data` at `offset`; false (with errno set) when the disk refuses part of it.
bool writeAllAt(int fd, std::string_view data, off_t offset) {
  while (!data.empty()) {
    const ssize_t n = ::pwrite(fd, data.data(), data.size(), offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
    offset += n;
  }
  return true;
}

// Copies all of `from` into `to`.
bool copyAll(int from, int to) {
  char buffer[65536];
  off_t offset = 0;
  for (;;) {
    const ssize_t n = ::pread(from, buffer, sizeof buffer, offset);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (!writeAllAt(to, std::string_view(buffer, static_cast<std::size_t>(n)), offset))
      return false;
    offset += n;
  }
}

// Makes a rename durable; a folder that cannot be synced is no reason to fail.
void syncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

enum class CopyResult { Done, Failed, NotHere };

// Fills a new temporary copy beside `finalPath` and renames it there. With `like`, the copy
// takes that file's owner, group and mode first; NotHere when it cannot keep them (or the
// folder takes no new file), so that the caller writes another way.
CopyResult writeCopy(const std::string& finalPath, const std::function<bool(int)>& fill,
                     const struct stat* like, std::string& error) {
  const std::string folder = folderOf(finalPath);
  std::string temp = (fs::path(folder) / (tempPrefix(finalPath) + "XXXXXX")).string();
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) {
    const bool denied = errno == EACCES || errno == EPERM;
    error = reason("cannot write in " + folder);
    return denied && like ? CopyResult::NotHere : CopyResult::Failed;
  }
  const auto give_up = [&](const std::string& what, CopyResult result) {
    error = reason(what);
    ::close(fd);
    ::unlink(temp.c_str());
    return result;
  };
  if (like && ::fchown(fd, like->st_uid, like->st_gid) != 0)
    return give_up("cannot give " + temp + " the owner and group of " + finalPath,
                   CopyResult::NotHere);
  // A first copy is readable by all, as the game has always made it.
  if (::fchmod(fd, like ? (like->st_mode & 07777) : 0644) != 0)
    return give_up("cannot set the permissions of " + temp, CopyResult::Failed);
  if (!fill(fd)) return give_up("cannot write " + temp, CopyResult::Failed);
  if (::fsync(fd) != 0) return give_up("cannot flush " + temp, CopyResult::Failed);
  if (::close(fd) != 0) {
    error = reason("cannot close " + temp);
    ::unlink(temp.c_str());
    return CopyResult::Failed;
  }
  if (::rename(temp.c_str(), finalPath.c_str()) != 0) {
    error = reason("cannot replace " + finalPath);
    ::unlink(temp.c_str());
    return CopyResult::Failed;
  }
  syncFolder(folder);
  return CopyResult::Done;
}

}  // namespace

KeptFile::KeptFile(std::string path, std::size_t maxBytes) : path_(std::move(path)) {
  target_ = followLinks(path_);
  open();
  if (fd_ < 0) return;
  locked_ = lock();
  if (fd_ >= 0) read(maxBytes);
}

KeptFile::~KeptFile() {
  if (fd_ >= 0) ::close(fd_);  // closing releases the lock
}

std::string KeptFile::backupPath(const std::string& path) { return path + ".backup"; }

void KeptFile::open() {
  struct stat st {};
  if (::stat(target_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
    state_ = State::Failed;
    error_ = target_ + " is not a regular file";
    return;
  }
  // Non-blocking, so that a pipe slipped into the file's place cannot hang the game.
  constexpr int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  fd_ = ::open(target_.c_str(), O_RDWR | O_CREAT | flags, 0644);
  writable_ = fd_ >= 0;
  if (fd_ < 0 && (errno == EACCES || errno == EPERM || errno == EROFS))
    fd_ = ::open(target_.c_str(), O_RDONLY | flags);
  if (fd_ < 0) {
    // Only a file that is not there may be made anew by a save.
    state_ = errno == ENOENT ? State::Missing : State::Failed;
    error_ = reason("cannot open " + target_);
    return;
  }
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    state_ = State::Failed;
    error_ = target_ + " is not a regular file";
    ::close(fd_);
    fd_ = -1;
    return;
  }
  writable_ = writable_ && modeAllowsWriting(fd_, st);
}

bool KeptFile::lock() {
  for (int attempt = 0; attempt < 100; ++attempt) {
    struct flock whole {};
    whole.l_type = writable_ ? F_WRLCK : F_RDLCK;
    whole.l_whence = SEEK_SET;
    while (::fcntl(fd_, F_SETLKW, &whole) != 0) {
      if (errno == EINTR) continue;
      // A file system without locks: the save goes on unguarded rather than not at all.
      error_ = reason("cannot lock " + target_);
      return false;
    }
    // Another player's save may have renamed a new table into place while this one waited:
    // the lock must be on the file that is there now.
    struct stat held {
    }, now{};
    if (::fstat(fd_, &held) == 0 && ::stat(target_.c_str(), &now) == 0 &&
        held.st_dev == now.st_dev && held.st_ino == now.st_ino)
      return true;
    ::close(fd_);
    fd_ = -1;
    open();
    if (fd_ < 0) return false;
  }
  return false;
}

void KeptFile::read(std::size_t maxBytes) {
  // A backup left behind means an in-place save was cut short: the backup is the whole table.
  int from = fd_;
  const std::string backup = backupPath(target_);
  const int backupFd = ::open(backup.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  struct stat st {};
  if (backupFd >= 0 && ::fstat(backupFd, &st) == 0 && S_ISREG(st.st_mode)) from = backupFd;
  text_.resize(maxBytes);
  std::size_t got = 0;
  state_ = State::Read;
  while (got < maxBytes) {
    const ssize_t n = ::pread(from, text_.data() + got, maxBytes - got, static_cast<off_t>(got));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      state_ = State::Failed;
      error_ = reason("cannot read " + (from == fd_ ? target_ : backup));
      break;
    }
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  text_.resize(state_ == State::Read ? got : 0);
  if (backupFd >= 0) ::close(backupFd);
}

bool KeptFile::fail(const std::string& what) {
  error_ = what;
  return false;
}

bool KeptFile::save(std::string_view contents) {
  if (state_ == State::Failed) return fail("not saved, the file could not be read: " + error_);
  if (fd_ >= 0 && !writable_) return fail(target_ + " is read-only: not saved");
  if (locked_ && writable_) clearStaleCopies();
  if (state_ == State::Missing) {
    const auto fill = [&](int fd) { return writeAllAt(fd, contents, 0); };
    return writeCopy(target_, fill, nullptr, error_) == CopyResult::Done;
  }
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return fail(reason("cannot look at " + target_));
  bool saved = false;
  if (::geteuid() == 0 || ::geteuid() == st.st_uid) {
    const auto fill = [&](int fd) { return writeAllAt(fd, contents, 0); };
    const CopyResult result = writeCopy(target_, fill, &st, error_);
    if (result == CopyResult::Failed) return false;
    saved = result == CopyResult::Done;
  }
  if (!saved && !writeInPlace(contents)) return false;
  ::unlink(backupPath(target_).c_str());
  return true;
}

// Another player's file keeps its owner, group and mode only if it stays the same file: its old
// contents go to the backup first, then the new ones are written over them.
bool KeptFile::writeInPlace(std::string_view contents) {
  const std::string backup = backupPath(target_);
  struct stat st {};
  // A backup that is still there is the whole table from before a cut-short save: it stays.
  if (::lstat(backup.c_str(), &st) != 0) {
    const auto fill = [&](int fd) { return copyAll(fd_, fd); };
    if (writeCopy(backup, fill, nullptr, error_) != CopyResult::Done) return false;
  }
  if (!writeAllAt(fd_, contents, 0)) return fail(reason("cannot write " + target_));
  if (::ftruncate(fd_, static_cast<off_t>(contents.size())) != 0)
    return fail(reason("cannot write " + target_));
  if (::fsync(fd_) != 0) return fail(reason("cannot flush " + target_));
  return true;
}

// Under the lock no other save is under way, so every temporary copy of this file is debris.
void KeptFile::clearStaleCopies() {
  const std::string folder = folderOf(target_);
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return;
  // The file's own copies, and those of its backup.
  const std::string prefixes[] = {tempPrefix(target_), tempPrefix(backupPath(target_))};
  while (const dirent* entry = ::readdir(dir)) {
    const std::string name = entry->d_name;
    for (const std::string& prefix : prefixes)
      if (name.rfind(prefix, 0) == 0 && name.size() == prefix.size() + 6)
        ::unlink((fs::path(folder) / name).c_str());
  }
  ::closedir(dir);
}

namespace {

// Saves `contents` as the whole of `path` by KeptFile's rules, and names the file itself in
// `target`. A save that fails leaves no empty file behind where there was none: an empty
// recording would not play, and the disk that refused it is full already.
bool saveWhole(const std::string& path, std::string_view contents, std::string& error,
               std::string& target) {
  struct stat st {};
  const bool existed = ::stat(path.c_str(), &st) == 0;
  KeptFile file(path, 0);
  target = file.target();
  if (file.save(contents)) return true;
  error = file.error();
  // Removed under the lock, before another save could have filled it.
  if (!existed && ::lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size == 0)
    ::unlink(target.c_str());
  return false;
}

// The bytes of the file from `offset` to its end.
bool readFrom(int fd, std::size_t offset, std::string& text) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  const auto size = static_cast<std::size_t>(st.st_size);
  text.assign(size > offset ? size - offset : 0, '\0');
  std::size_t got = 0;
  while (got < text.size()) {
    const ssize_t n =
        ::pread(fd, text.data() + got, text.size() - got, static_cast<off_t>(offset + got));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool keepFile(const std::string& path, std::string_view contents, std::string& error) {
  std::string target;
  return saveWhole(path, contents, error, target);
}

GrowingFile::~GrowingFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool GrowingFile::start(const std::string& path, std::string_view contents, std::string& error) {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!saveWhole(path, contents, error, target_)) return false;
  // Read as well as written: a write the disk takes only in part is put back from what it read.
  fd_ = ::open(target_.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  struct stat st {};
  if (fd_ >= 0 && (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) {
    ::close(fd_);
    fd_ = -1;
    errno = EINVAL;
  }
  if (fd_ < 0) error = reason("cannot open " + target_);
  return fd_ >= 0;
}

bool GrowingFile::writeAt(std::size_t offset, std::string_view text, std::string& error) {
  std::string replaced;
  if (!readFrom(fd_, offset, replaced)) {
    error = reason("cannot read " + target_);
    return false;
  }
  const auto end = static_cast<off_t>(offset + text.size());
  if (writeAllAt(fd_, text, static_cast<off_t>(offset)) && ::ftruncate(fd_, end) == 0) return true;
  error = reason("cannot write " + target_);
  // A full disk or the file-size limit took part of it: what it replaced goes back over bytes
  // the file already held, and the rest is cut off, neither of which needs more room.
  if (!writeAllAt(fd_, replaced, static_cast<off_t>(offset)) ||
      ::ftruncate(fd_, static_cast<off_t>(offset + replaced.size())) != 0)
    error += "; and it could not be put back";
  return false;
}

}  // namespace form
