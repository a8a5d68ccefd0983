#include "runtime/debug_report.h"

#ifdef CLEANUP_DEBUG_REPORTS
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#endif

namespace {

DebugReportHook gDebugReportHook = nullptr;

#ifdef CLEANUP_DEBUG_REPORTS
// Buffers for the two texts; long enough for any file path and check text we have.
constexpr int kReportTextSize = 512;

// The file name without its directories: the build's absolute paths say nothing.
const char* BaseName(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash != nullptr ? slash + 1 : path;
}

// Read with plain system calls: stdio would allocate a buffer on the heap.
bool DebuggerAttached() {
  int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char status[4096];
  ssize_t size = ::read(fd, status, sizeof status - 1);
  ::close(fd);
  if (size <= 0) return false;
  status[size] = '\0';
  const char* tracer = std::strstr(status, "TracerPid:");
  if (tracer == nullptr) return false;
  return std::strtol(tracer + std::strlen("TracerPid:"), nullptr, 10) != 0;
}
#endif

}  // namespace

void SetDebugReportHook(DebugReportHook hook) { gDebugReportHook = hook; }

void DebugReport(DebugReportCountdown& countdown, const char* file, int line, const char* text) {
#ifdef CLEANUP_DEBUG_REPORTS
  if (countdown.remaining <= 0) return;
  --countdown.remaining;
  if (file == nullptr) file = "";
  if (text == nullptr) text = "";
  char title[kReportTextSize];
  char detail[kReportTextSize];
  std::snprintf(title, sizeof title, "DEBUGSTOP ASSERT(%s) failed!", text);
  std::snprintf(detail, sizeof detail, "%s(%d):\n  %s", BaseName(file), line, text);
  if (gDebugReportHook != nullptr) {
    gDebugReportHook(title, detail);
    return;
  }
  std::fprintf(stderr, "%s\n%s\n", title, detail);
  if (DebuggerAttached()) std::raise(SIGTRAP);
#else
  (void)countdown;
  (void)file;
  (void)line;
  (void)text;
#endif
}
