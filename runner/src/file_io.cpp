#include "file_io.h"

#include "hostapp/large_blocks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace drawclean {
namespace {

namespace fs = std::filesystem;

// Linux gives up after as many.
constexpr int kMaxLinkHops = 40;

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t w = ::write(fd, text.data() + done, text.size() - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += size_t(w);
  }
  return true;
}

mode_t NewFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

const char* KindOf(mode_t m) {
  if (S_ISDIR(m)) return "a directory";
  if (S_ISFIFO(m)) return "a FIFO";
  if (S_ISCHR(m) || S_ISBLK(m)) return "a device";
  if (S_ISSOCK(m)) return "a socket";
  return "not a regular file";
}

}  // namespace

bool ReadFile(const std::string& path, std::string& text, std::string* error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    if (error) *error = "is a directory";
    return false;
  }
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  // A regular file is read in one piece into room made for all of it:
  // grown by doubling, a large drawing would briefly need its old and new
  // copy, and keep up to twice its size.
  text.clear();
  if (S_ISREG(st.st_mode) && st.st_size > 0) {
    text.resize(size_t(st.st_size));
    text.resize(std::fread(text.data(), 1, text.size(), f));
  }
  char buf[1 << 16];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  const bool bad = std::ferror(f) != 0;
  std::fclose(f);
  if (bad && error) *error = "read error";
  return !bad;
}

bool ReadFileBytes(const std::string& path, FileBytes& out, std::string* error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    // Not a regular file (or gone): read as it comes, whatever it is.
    auto text = std::make_shared<std::string>();
    if (!ReadFile(path, *text, error)) return false;
    out.text = *text;
    out.owner = std::move(text);
    return true;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (error) *error = std::strerror(errno);
    return false;
  }
  // Room for the size stat gave, one byte more to see whether it grew.
  const size_t room = size_t(st.st_size) + 1;
  auto* block = static_cast<char*>(hostapp::AllocateLarge(room));
  std::shared_ptr<const char> owner(block, [room](const char* p) { hostapp::FreeLarge(const_cast<char*>(p), room); });
  size_t got = 0;
  while (got < room) {
    const ssize_t n = ::read(fd, block + got, room - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      if (error) *error = "read error";
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    got += size_t(n);
  }
  ::close(fd);
  if (got == room) {  // it grew while being read: read it as it comes
    auto text = std::make_shared<std::string>();
    if (!ReadFile(path, *text, error)) return false;
    out.text = *text;
    out.owner = std::move(text);
    return true;
  }
  out.text = std::string_view(block, got);
  out.owner = std::move(owner);
  return true;
}

std::string FollowLinks(const std::string& path, std::string* error) {
  fs::path p(path);
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(p, ec))) return p.string();
    const fs::path to = fs::read_symlink(p, ec);
    if (ec) {
      if (error) *error = ec.message();
      return "";
    }
    p = to.is_absolute() ? to : p.parent_path() / to;
  }
  if (error) *error = "too many levels of symbolic links";
  return "";
}

bool PendingOutput::Prepare(const std::string& path, std::string* error) {
  Abandon();
  auto fail = [&](const std::string& why) {
    if (error) *error = why;
    return false;
  };
  std::string why;
  target_ = FollowLinks(path, &why);
  if (target_.empty()) return fail(why);
  struct stat st {};
  exists_ = ::stat(target_.c_str(), &st) == 0;
  if (!exists_ && errno != ENOENT) return fail(std::strerror(errno));
  if (exists_) {
    if (!S_ISREG(st.st_mode)) return fail(std::string("is ") + KindOf(st.st_mode) + ", not a regular file");
    if (::access(target_.c_str(), W_OK) != 0) return fail(std::strerror(errno));
    mode_ = st.st_mode & 07777;
    uid_ = st.st_uid;
    gid_ = st.st_gid;
    inPlace_ = st.st_nlink > 1;
  } else {
    mode_ = NewFileMode();
  }
  const fs::path t(target_);
  fs::path dir = t.parent_path();
  if (dir.empty()) dir = ".";
  std::string hidden = ".";
  hidden += t.filename().string();
  hidden += ".tmp-XXXXXX";
  const std::string tmpl = (dir / hidden).string();
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  fd_ = ::mkstemp(name.data());
  if (fd_ < 0) return fail("cannot create a file in " + dir.string() + ": " + std::strerror(errno));
  temp_ = name.data();
  return true;
}

bool PendingOutput::Write(const std::string& text, std::string* error) {
  if (fd_ < 0) {
    if (error) *error = "not prepared";
    return false;
  }
  const bool ok = WriteAll(fd_, text) && ::fsync(fd_) == 0;
  if (!ok && error) *error = std::strerror(errno);
  return ok;
}

bool PendingOutput::Commit(std::string* error) {
  auto fail = [&]() {
    if (error) *error = std::strerror(errno);
    Abandon();
    return false;
  };
  if (fd_ < 0) {
    errno = EBADF;
    return fail();
  }
  if (inPlace_) {
    // The text is complete on disk beside the target; copy it over the one file.
    std::string text;
    std::string why;
    if (!ReadFile(temp_, text, &why)) return fail();
    const int out = ::open(target_.c_str(), O_WRONLY | O_TRUNC);
    if (out < 0) return fail();
    bool ok = WriteAll(out, text) && ::fsync(out) == 0;
    const int savedErrno = errno;
    ok = ::close(out) == 0 && ok;
    if (!ok) {
      errno = savedErrno != 0 ? savedErrno : errno;
      return fail();
    }
    Abandon();
    return true;
  }
  // Only root may give the file to its old owner; anyone else keeps it.
  if (exists_) {
    const int ignored = ::fchown(fd_, uid_, gid_);
    (void)ignored;
  }
  ::fchmod(fd_, mode_);
  if (::close(fd_) != 0) {
    fd_ = -1;
    return fail();
  }
  fd_ = -1;
  if (::rename(temp_.c_str(), target_.c_str()) != 0) return fail();
  temp_.clear();
  return true;
}

void PendingOutput::Abandon() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error) {
  PendingOutput out;
  return out.Prepare(path, error) && out.Write(text, error) && out.Commit(error);
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  if (fs::exists(b, ec) && fs::exists(a, ec)) return fs::equivalent(a, b, ec);
  const std::string fa = FollowLinks(a, nullptr), fb = FollowLinks(b, nullptr);
  return fs::weakly_canonical(fa.empty() ? a : fa, ec) == fs::weakly_canonical(fb.empty() ? b : fb, ec);
}

}  // namespace drawclean
