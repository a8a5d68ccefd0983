// Reading inputs and writing outputs so that a failed run leaves no partial
// file and never replaces what should not be replaced.
//
// An output is checked before any work: a symbolic link is followed to the
// file it names, an existing target that is not a regular file (a folder,
// FIFO, device, socket) is refused, and a temporary file is made beside the
// target at once, so an unwritable folder shows up before the drawing is
// read. The text goes to that temporary file and replaces the target only
// when complete, with the target's own mode (and owner, where allowed); a
// target with more than one hard link is rewritten in place instead, so
// every link keeps naming the one file.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <string_view>

namespace drawclean {

bool ReadFile(const std::string& path, std::string& text, std::string* error);

// A file's bytes in one block of memory fit for a large drawing; the block
// lives as long as anything holds `owner`.
struct FileBytes {
  std::shared_ptr<const void> owner;
  std::string_view text;
};
bool ReadFileBytes(const std::string& path, FileBytes& out, std::string* error);

class PendingOutput {
 public:
  PendingOutput() = default;
  ~PendingOutput() { Abandon(); }
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;

  // Checks `path` and makes the temporary file. False with a reason.
  bool Prepare(const std::string& path, std::string* error);
  // The whole text into the temporary file, flushed to disk.
  bool Write(const std::string& text, std::string* error);
  // Puts the written text in place of the target.
  bool Commit(std::string* error);
  // Removes the temporary file, if any; the target stays as it was.
  void Abandon();

  // The file that will be written: the path with every symbolic link followed.
  const std::string& Target() const { return target_; }

 private:
  std::string target_;
  std::string temp_;
  int fd_ = -1;
  bool exists_ = false;
  bool inPlace_ = false;  // hard-linked target: rewrite rather than replace
  mode_t mode_ = 0;
  uid_t uid_ = 0;
  gid_t gid_ = 0;
};

// Writes `text` to `path` through a PendingOutput.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error);

// `path` with every symbolic link followed, also a dangling one (then the
// path it points at); "" with a reason for a loop of links.
std::string FollowLinks(const std::string& path, std::string* error);

// True when both paths name the same file (the second need not exist).
bool SameFile(const std::string& a, const std::string& b);

}  // namespace drawclean
