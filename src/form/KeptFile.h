// SPDX-License-Identifier: MIT
// A file the game keeps for its players (the high-score table, a recording), which many players
// may share in one folder, on a network drive too. Every write of such a file goes through here:
//
// - Only a regular file is ever read or replaced (symbolic links are followed to one); a device,
//   a pipe or a folder in its place is refused and left alone. In a sticky folder (a shared one,
//   like the system's temporary folder) a link is followed only if its owner is the player or the
//   folder's owner, as the kernel itself would: links are followed here by hand.
// - A file whose mode bits grant no writing is never written, not even by root.
// - A file that exists but could not be read is never written over.
// - A lock (a POSIX record lock, which network file systems honour) is held from opening to the
//   end of the save, so that a save always merges what another player saved just before. It is
//   waited for a bounded time only (2 seconds while a reader holds it, 10 without a change while
//   a save holds it, 30 in all): a save that does not get it in time is not made.
// - A save writes a whole new copy beside the file and renames it over the old one when the new
//   copy can keep the old one's owner, group and mode (the saver owns the file, or is root).
//   Otherwise it copies the old contents to NAME.backup and writes in place, so that a shared
//   table stays shared; the backup is removed once the save is through. When no backup can be
//   made there (a folder the player may not write, or another player's file under its name), the
//   table is still written in place, under the lock, its room reserved first and flushed after.
// - A backup is read instead of the file only when it is the trace of such a save cut short: a
//   regular file with no other name, owned as a save would have left it, not newer than the file,
//   and one the player can remove. Any other is ignored, and never steers a save.
// - Temporary copies are named .NAME.cavewing-tmp-XXXXXX; a copy left by a save that was killed
//   is removed by the next save, under the lock.
// - Reading is bounded.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace form {

class KeptFile {
public:
  enum class State {
    Read,     // read (a missing file was created empty, or could not be and counts as empty)
    Missing,  // not there and could not be created: counts as empty, a save may create it
    Failed,   // there but not readable: it is never written over
  };

  // Opens `path`, creating it empty when it is not there, locks it, and reads at most `maxBytes`
  // of it. The lock is held until the object is destroyed.
  KeptFile(std::string path, std::size_t maxBytes);
  ~KeptFile();
  KeptFile(const KeptFile&) = delete;
  KeptFile& operator=(const KeptFile&) = delete;

  State state() const { return state_; }
  // The file itself, with symbolic links followed.
  const std::string& target() const { return target_; }
  const std::string& text() const { return text_; }
  // Why the last step failed, naming the file and the system's reason.
  const std::string& error() const { return error_; }
  // What a reader should be told although the file was read (a backup that was ignored).
  const std::string& notice() const { return notice_; }

  // Replaces the file's contents with `contents`, as the rules above say: true once they are on
  // disk; false (with error()) when the file was not saved, in which case the old contents are
  // whole.
  bool save(std::string_view contents);

  // The name of the backup an in-place save keeps while it writes.
  static std::string backupPath(const std::string& path);

private:
  void open();
  bool lock();
  void read(std::size_t maxBytes);
  int openTrustedBackup();
  std::string backupDoubt(int backupFd) const;
  bool writeInPlace(std::string_view contents);
  bool dropBackup();
  void clearStaleCopies();
  bool fail(const std::string& what);

  std::string path_;    // as given
  std::string target_;  // the file itself, symbolic links followed
  int fd_ = -1;
  bool writable_ = false;  // opened for writing, and its mode bits allow it
  bool locked_ = false;
  bool lockMissed_ = false;     // others held the lock too long: no save
  bool backupTrusted_ = false;  // read from the backup of a save cut short
  bool madeBackup_ = false;     // this save's own backup is beside the file
  State state_ = State::Failed;
  std::string text_;
  std::string error_;
  std::string notice_;
};

// Saves `contents` as the whole of the file at `path`, by the rules above; false with `error`
// when it could not, leaving no empty file where there was none.
bool keepFile(const std::string& path, std::string_view contents, std::string& error);

// A file the game writes as it goes (a recording), so that an ending nobody chose leaves what was
// written so far: started whole by the rules above, then grown from a given offset on.
class GrowingFile {
public:
  GrowingFile() = default;
  ~GrowingFile();
  GrowingFile(const GrowingFile&) = delete;
  GrowingFile& operator=(const GrowingFile&) = delete;

  bool start(const std::string& path, std::string_view contents, std::string& error);
  bool started() const { return fd_ >= 0; }
  // Writes `text` from `offset` on; the file ends with it. When the disk takes only part of it
  // (it is full, or the file reached the size limit), the file is put back as it was.
  bool writeAt(std::size_t offset, std::string_view text, std::string& error);

private:
  std::string target_;
  int fd_ = -1;
};

}  // namespace form
