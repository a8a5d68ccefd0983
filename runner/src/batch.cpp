#include "batch.h"

#include <sched.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <map>

#include "shown.h"

namespace drawclean {
namespace {

namespace fs = std::filesystem;

bool IsDrawingName(const fs::path& p) {
  std::string ext = p.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return ext == ".dxf" || ext == ".json";
}

std::string ReadFd(int fd) {
  std::string text;
  if (::lseek(fd, 0, SEEK_SET) != 0) return text;
  char buf[4096];
  ssize_t n;
  while ((n = ::read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
    if (n > 0) text.append(buf, size_t(n));
  return text;
}

std::string FirstLine(const std::string& text, const char* dropPrefix = nullptr) {
  std::string line = text.substr(0, text.find('\n'));
  if (dropPrefix && line.rfind(dropPrefix, 0) == 0) line.erase(0, std::strlen(dropPrefix));
  return line;
}

// The line of the worker's own message, where it wrote one among others
// (a sanitizer's report, say).
std::string MessageLine(const std::string& err) {
  size_t at = 0;
  while (at < err.size()) {
    const size_t end = std::min(err.find('\n', at), err.size());
    if (err.compare(at, 11, "drawclean: ") == 0) return err.substr(at + 11, end - at - 11);
    at = end + 1;
  }
  return "";
}

struct Running {
  size_t job;
  int out, err;
};

}  // namespace

bool ExpandInputs(const std::vector<std::string>& inputs, std::vector<std::string>& files, std::string* error) {
  for (const std::string& in : inputs) {
    std::error_code ec;
    if (!fs::is_directory(in, ec)) {
      files.push_back(in);  // a missing or unreadable file fails in its own worker
      continue;
    }
    std::vector<std::string> found;
    for (fs::directory_iterator it(in, ec), end; !ec && it != end; it.increment(ec))
      if (IsDrawingName(it->path()) && it->is_regular_file(ec)) found.push_back(it->path().string());
    if (ec) {
      if (error) *error = Shown(in, 200) + ": cannot read the folder: " + ec.message();
      return false;
    }
    if (found.empty()) {
      if (error) *error = Shown(in, 200) + ": no .dxf or .json drawing in this folder";
      return false;
    }
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
  }
  return true;
}

unsigned DefaultJobs() {
  cpu_set_t set;
  if (::sched_getaffinity(0, sizeof set, &set) == 0) return unsigned(std::max(1, CPU_COUNT(&set)));
  const long n = ::sysconf(_SC_NPROCESSORS_ONLN);
  return n > 0 ? unsigned(n) : 1;
}

BatchOutcome WorkerOutcome(const std::string& input, int status, const std::string& out, const std::string& err) {
  BatchOutcome o;
  const std::string shown = Shown(input, 200);
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    o.ok = true;
    o.line = FirstLine(out);
    if (o.line.empty()) o.line = shown;
    if (const std::string warning = MessageLine(err); !warning.empty()) o.line += "; " + warning;
    return o;
  }
  std::string why = MessageLine(err);
  if (why.empty() && WIFSIGNALED(status)) {
    const int sig = WTERMSIG(status);
    why = std::string("the worker was ended by signal ") + std::to_string(sig) + " (" + strsignal(sig) + ")";
    if (sig == SIGKILL) why += ", perhaps for want of memory";
  } else if (why.empty()) {
    why = "the worker stopped with status " + std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  }
  // The worker's messages mostly start with the file; others get it in front.
  o.line = why.rfind(shown, 0) == 0 ? why : shown + ": " + why;
  return o;
}

void RunWorkers(const std::string& program, const std::vector<std::string>& args, const std::vector<BatchJob>& work,
                unsigned jobs, void (*done)(void*, size_t, const BatchOutcome&), void* context) {
  std::map<pid_t, Running> running;
  size_t next = 0;
  auto finish = [&](size_t job, int status, int out, int err) {
    const std::string o = ReadFd(out), e = ReadFd(err);
    ::close(out), ::close(err);
    done(context, job, WorkerOutcome(work[job].input, status, o, e));
  };
  while (next < work.size() || !running.empty()) {
    while (next < work.size() && running.size() < std::max(1u, jobs)) {
      const size_t job = next++;
      // Everything the child needs is made before the fork: after it, the
      // child only redirects and executes.
      std::vector<std::string> argv = {program};
      argv.insert(argv.end(), args.begin(), args.end());
      argv.insert(argv.end(), {"--", work[job].input});
      argv.insert(argv.end() - 2, {"-o", work[job].output});
      std::vector<char*> raw;
      for (std::string& a : argv) raw.push_back(a.data());
      raw.push_back(nullptr);
      const int out = ::memfd_create("drawclean-out", MFD_CLOEXEC);
      const int err = ::memfd_create("drawclean-err", MFD_CLOEXEC);
      const pid_t pid = out >= 0 && err >= 0 ? ::fork() : -1;
      if (pid == 0) {
        if (::dup2(out, STDOUT_FILENO) < 0 || ::dup2(err, STDERR_FILENO) < 0) ::_exit(127);
        ::execv(program.c_str(), raw.data());
        const char msg[] = "drawclean: cannot start a worker\n";
        ssize_t ignored = ::write(STDERR_FILENO, msg, sizeof msg - 1);
        (void)ignored;
        ::_exit(127);
      }
      if (pid < 0) {
        const std::string why = std::string("cannot start a worker: ") + std::strerror(errno);
        if (out >= 0) ::close(out);
        if (err >= 0) ::close(err);
        done(context, job, BatchOutcome{false, Shown(work[job].input, 200) + ": " + why});
        continue;
      }
      running[pid] = Running{job, out, err};
    }
    if (running.empty()) continue;
    int status = 0;
    const pid_t pid = ::waitpid(-1, &status, 0);
    if (pid < 0) {
      if (errno == EINTR) continue;
      // No child left to wait for: whatever is still listed never reports.
      for (auto& [ignored, r] : running) {
        ::close(r.out), ::close(r.err);
        done(context, r.job, BatchOutcome{false, Shown(work[r.job].input, 200) + ": the worker was lost"});
      }
      running.clear();
      continue;
    }
    auto it = running.find(pid);
    if (it == running.end()) continue;
    const Running r = it->second;
    running.erase(it);
    finish(r.job, status, r.out, r.err);
  }
}

}  // namespace drawclean
