// SPDX-License-Identifier: MIT
// Files the game keeps: opening through symbolic links to a regular file only, the lock held from
// reading to saving, bounded reading, and the two ways of saving (a new copy renamed into place,
// or in place behind a backup) with the debris of killed saves cleared.
#include "form/KeptFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <thread>

namespace form {

namespace {

namespace fs = std::filesystem;

constexpr const char* TempMark = ".cavewing-tmp-";
// A file that grows as it is read takes room in steps of at least this much.
constexpr std::size_t MinReadBytes = 4096;

std::string reason(const std::string& what) { return what + ": " + std::strerror(errno); }

std::string folderOf(const std::string& path) {
  const fs::path p(path);
  return p.has_parent_path() ? p.parent_path().string() : std::string(".");
}

std::string tempPrefix(const std::string& path) {
  return "." + fs::path(path).filename().string() + TempMark;
}

// How long a save waits for another player's lock while the file does not change. A reader's
// lock is never followed by a save of its own, so a reader who holds it for good is waited for
// briefly; a save under way (a writer's lock) may take longer on a busy disk. Other players'
// saves that go through restart the wait, up to a bound that no string of saves outlasts.
constexpr auto ReaderWait = std::chrono::seconds(2);
constexpr auto SaverWait = std::chrono::seconds(10);
constexpr auto LockWaitAtMost = std::chrono::seconds(30);

// Whether the lock that keeps `fd` from `wanted` is a reader's (not a save's, nor one let go
// since).
bool heldByReader(int fd, const struct flock& wanted) {
  struct flock holder = wanted;
  return ::fcntl(fd, F_GETLK, &holder) == 0 && holder.l_type == F_RDLCK;
}

// In a sticky folder anyone may make a link, but only the player's own links and the folder
// owner's are followed: the kernel's rule for the links it follows, which reading them by hand
// would bypass. Otherwise a link planted there would have a save write over the player's files.
bool mayFollow(const std::string& link, const struct stat& linkStat, std::string& error) {
  struct stat folder {};
  if (::stat(folderOf(link).c_str(), &folder) != 0 || (folder.st_mode & S_ISVTX) == 0) return true;
  if (linkStat.st_uid == ::geteuid() || linkStat.st_uid == folder.st_uid) return true;
  error = "not following " + link + ": a link of another user's in a shared sticky folder";
  return false;
}

// The file a chain of symbolic links ends at (the path itself when it is no link); false (with
// `error`) when a link may not be followed.
bool followLinks(std::string path, std::string& target, std::string& error) {
  for (int hops = 0; hops < 40; ++hops) {
    target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return true;
    if (!mayFollow(path, st, error)) return false;
    char next[PATH_MAX];
    const ssize_t n = ::readlink(path.c_str(), next, sizeof next - 1);
    if (n < 0) return true;
    const fs::path hop(std::string(next, static_cast<std::size_t>(n)));
    path = hop.is_absolute() ? hop.string() : (fs::path(folderOf(path)) / hop).string();
  }
  target = path;
  return true;  // a loop: opening it fails with the system's reason
}

bool sameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool sameTime(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Whether a save went through between the two looks at the file: a new copy renamed into place,
// or the same file written over.
bool saveWentThrough(const struct stat& before, const struct stat& after) {
  return !sameFile(before, after) || before.st_size != after.st_size ||
         !sameTime(before.st_mtim, after.st_mtim) || !sameTime(before.st_ctim, after.st_ctim);
}

// Whether the player may remove `st`, a file in `folder`: a sticky folder lets only the file's
// owner, the folder's owner and root remove it.
bool mayRemove(const std::string& folder, const struct stat& dir, const struct stat& st) {
  if (::access(folder.c_str(), W_OK | X_OK) != 0) return false;
  const uid_t self = ::geteuid();
  return (dir.st_mode & S_ISVTX) == 0 || self == 0 || st.st_uid == self || dir.st_uid == self;
}

bool newer(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
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
    const bool denied = errno == EACCES || errno == EPERM || errno == EROFS;
    error = reason("cannot write in " + folder);
    return denied ? CopyResult::NotHere : CopyResult::Failed;
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
    // A sticky folder keeps another player's file under that name.
    const bool denied = errno == EACCES || errno == EPERM;
    error = reason("cannot replace " + finalPath);
    ::unlink(temp.c_str());
    return denied ? CopyResult::NotHere : CopyResult::Failed;
  }
  syncFolder(folder);
  return CopyResult::Done;
}

}  // namespace

KeptFile::KeptFile(std::string path, std::size_t maxBytes) : path_(std::move(path)) {
  if (!followLinks(path_, target_, error_)) {
    state_ = State::Failed;
    return;
  }
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
  // Non-blocking, so that a pipe slipped into the file's place cannot hang the game. Created only
  // when it is not there: a sticky folder may refuse O_CREAT on another player's file.
  constexpr int flags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  fd_ = ::open(target_.c_str(), O_RDWR | flags);
  if (fd_ < 0 && errno == ENOENT) fd_ = ::open(target_.c_str(), O_RDWR | O_CREAT | flags, 0644);
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

// Polled rather than waited for, so that a lock held for good costs a bounded wait. While it
// waits, a save by another player may rename a new file into place: the lock is then tried on the
// file that is there now, and a save never goes on with a lock on a file no longer there.
bool KeptFile::lock() {
  using Clock = std::chrono::steady_clock;
  const auto start = Clock::now();
  auto quietSince = start;
  struct stat seen {};
  for (;;) {
    struct flock whole {};
    whole.l_type = writable_ ? F_WRLCK : F_RDLCK;
    whole.l_whence = SEEK_SET;
    const bool got = ::fcntl(fd_, F_SETLK, &whole) == 0;
    if (!got && errno == EINTR) continue;
    if (!got && errno != EACCES && errno != EAGAIN) {
      // A file system without locks: the save goes on unguarded rather than not at all.
      error_ = reason("cannot lock " + target_);
      return false;
    }
    struct stat held {
    }, now{};
    const bool current =
        ::fstat(fd_, &held) == 0 && ::stat(target_.c_str(), &now) == 0 && sameFile(held, now);
    if (got && current) return true;
    const auto time = Clock::now();
    if (saveWentThrough(seen, now)) {
      seen = now;
      quietSince = time;
    }
    if (!current) {
      ::close(fd_);  // releases a lock on the old file
      fd_ = -1;
      open();
      if (fd_ < 0) return false;
    }
    const auto quietLimit = !got && current && heldByReader(fd_, whole) ? ReaderWait : SaverWait;
    if (time - quietSince >= quietLimit || time - start >= LockWaitAtMost) {
      lockMissed_ = true;
      error_ = "could not lock " + target_ + " in time: another player holds it";
      return false;
    }
    if (current) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void KeptFile::read(std::size_t maxBytes) {
  // A backup left by an in-place save cut short is the whole table.
  const int backupFd = openTrustedBackup();
  const int from = backupFd >= 0 ? backupFd : fd_;
  const std::string backup = backupPath(target_);
  // Room for what the file holds now and a byte more to see its end, grown while it turns out
  // longer: the bound is how much is read, not how much memory every read takes (a bound of a
  // hundred megabytes filled with zeros held the page up for seconds as it opened). The room is
  // only a first guess: a file that cannot tell its size starts with a byte.
  struct stat st {};
  const std::size_t size = ::fstat(from, &st) == 0 ? std::size_t(st.st_size) : 0;
  text_.resize(std::min(maxBytes, size + 1));
  std::size_t got = 0;
  state_ = State::Read;
  while (got < maxBytes) {
    if (got == text_.size()) text_.resize(std::min(maxBytes, std::max(2 * got, MinReadBytes)));
    const ssize_t n =
        ::pread(from, text_.data() + got, text_.size() - got, static_cast<off_t>(got));
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

// The backup, when it is sound evidence of an in-place save cut short; otherwise -1, and a notice
// when one is there.
int KeptFile::openTrustedBackup() {
  const std::string backup = backupPath(target_);
  const int fd = ::open(backup.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int why = errno;  // a link in its place, or one the player may not read
    struct stat st {};
    if (::lstat(backup.c_str(), &st) == 0)
      notice_ = "ignoring " + backup + ": " + std::strerror(why);
    return -1;
  }
  const std::string doubt = backupDoubt(fd);
  if (doubt.empty()) {
    backupTrusted_ = true;
    return fd;
  }
  notice_ = "ignoring " + backup + ": " + doubt;
  ::close(fd);
  return -1;
}

// Why the backup open at `backupFd` is no trace of this file's save cut short ("" when it is).
std::string KeptFile::backupDoubt(int backupFd) const {
  const std::string folder = folderOf(target_);
  struct stat backup {
  }, table{}, dir{};
  if (::fstat(backupFd, &backup) != 0 || ::fstat(fd_, &table) != 0 ||
      ::stat(folder.c_str(), &dir) != 0)
    return reason("cannot look");
  if (!S_ISREG(backup.st_mode)) return "not a regular file";
  if (backup.st_nlink != 1) return "it has other names";
  // A save makes its backup before it writes the file.
  if (newer(backup.st_mtim, table.st_mtim)) return "it is newer than the table";
  // The file's owner, the player, or (in a group's folder, not a sticky one all may write) a
  // player of its group who may write it.
  const bool sticky = (dir.st_mode & S_ISVTX) != 0;
  const bool ownedAsSaved =
      backup.st_uid == table.st_uid || backup.st_uid == ::geteuid() ||
      (!sticky && backup.st_gid == table.st_gid && (table.st_mode & S_IWGRP) != 0);
  if (!ownedAsSaved) return "it was not left by a player who may write the table";
  // One that could not be removed would steer every later save.
  if (!mayRemove(folder, dir, backup)) return "this player could not remove it";
  return {};
}

bool KeptFile::fail(const std::string& what) {
  error_ = what;
  return false;
}

bool KeptFile::save(std::string_view contents) {
  if (state_ == State::Failed) return fail("not saved, the file could not be read: " + error_);
  if (fd_ >= 0 && !writable_) return fail(target_ + " is read-only: not saved");
  if (lockMissed_) return fail("not saved, " + error_);
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
  return dropBackup();
}

// Another player's file keeps its owner, group and mode only if it stays the same file: its old
// contents go to the backup first, then the new ones are written over them. Where no backup can
// be made, it is written over all the same: the lock keeps other saves and readers out until it
// is through, its room is reserved first (a full disk refuses before a byte changes), and the new
// contents come before the cut, so that a save stopped between the two leaves the whole new table
// followed by an old tail, which a reader never reaches.
namespace {

// Makes room for `size` bytes before the old contents are written over; the page's files live in
// memory (WebAssembly has no fallocate), where there is no disk to fill.
int reserve(int fd, off_t size) {
#ifdef __EMSCRIPTEN__
  (void)fd;
  (void)size;
  return 0;
#else
  return ::fallocate(fd, 0, 0, size);
#endif
}

}  // namespace

bool KeptFile::writeInPlace(std::string_view contents) {
  // A trusted backup is the whole table from before a save cut short: it stays.
  if (!backupTrusted_) {
    const auto fill = [&](int fd) { return copyAll(fd_, fd); };
    std::string why;
    const CopyResult made = writeCopy(backupPath(target_), fill, nullptr, why);
    if (made == CopyResult::Failed) return fail(why);
    madeBackup_ = made == CopyResult::Done;
  }
  const auto size = static_cast<off_t>(contents.size());
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return fail(reason("cannot look at " + target_));
  if (size > st.st_size && reserve(fd_, size) != 0 && errno != EOPNOTSUPP) {
    fail(reason("cannot make room in " + target_));
    if (madeBackup_) ::unlink(backupPath(target_).c_str());  // the table is as it was
    return false;
  }
  if (!writeAllAt(fd_, contents, 0)) return fail(reason("cannot write " + target_));
  if (::ftruncate(fd_, size) != 0) return fail(reason("cannot write " + target_));
  if (::fsync(fd_) != 0) return fail(reason("cannot flush " + target_));
  return true;
}

// After a save the backup must go, or the next read would take the old table from it. Another
// player's file that no reader trusts may stay.
bool KeptFile::dropBackup() {
  const std::string backup = backupPath(target_);
  if (::unlink(backup.c_str()) == 0 || errno == ENOENT) return true;
  if (!backupTrusted_ && !madeBackup_) return true;
  return fail(reason("saved, but cannot remove " + backup + ", which holds the old table"));
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
