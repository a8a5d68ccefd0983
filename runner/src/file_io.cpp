#include "file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <vector>

namespace drawclean {

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
  text.clear();
  char buf[1 << 16];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
  const bool bad = std::ferror(f) != 0;
  std::fclose(f);
  if (bad && error) *error = "read error";
  return !bad;
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error) {
  namespace fs = std::filesystem;
  const fs::path target(path);
  fs::path dir = target.parent_path();
  if (dir.empty()) dir = ".";
  std::string tmpl = (dir / ("." + target.filename().string() + ".tmp-XXXXXX")).string();
  std::vector<char> name(tmpl.begin(), tmpl.end());
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    if (error) *error = std::string("cannot create a file in ") + dir.string() + ": " + std::strerror(errno);
    return false;
  }
  size_t done = 0;
  bool ok = true;
  while (done < text.size()) {
    const ssize_t w = ::write(fd, text.data() + done, text.size() - done);
    if (w < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    done += size_t(w);
  }
  const int savedErrno = errno;
  ok = ::fsync(fd) == 0 && ok;
  ::fchmod(fd, 0644);
  ok = ::close(fd) == 0 && ok;
  if (ok && ::rename(name.data(), path.c_str()) == 0) return true;
  if (error) *error = std::strerror(ok ? errno : savedErrno);
  ::unlink(name.data());
  return false;
}

bool SameFile(const std::string& a, const std::string& b) {
  namespace fs = std::filesystem;
  std::error_code ec;
  if (fs::exists(b, ec) && fs::exists(a, ec)) return fs::equivalent(a, b, ec);
  return fs::weakly_canonical(a, ec) == fs::weakly_canonical(b, ec);
}

}  // namespace drawclean
