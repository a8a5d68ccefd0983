// Reports of failed consistency checks, debug builds only (CLEANUP_DEBUG_REPORTS).
//
// A report goes to standard error (or to a hook the tests install) as two
// texts, "DEBUGSTOP ASSERT(<text>) failed!" and "<file>(<line>):\n  <text>",
// and breaks into a debugger only when one is attached. Each check group
// carries its own countdown: after kDebugReportLimit reports it goes silent
// and execution simply goes on. Nothing here allocates or throws.
#pragma once

inline constexpr int kDebugReportLimit = 3;

struct DebugReportCountdown {
  int remaining = kDebugReportLimit;
};

// Delivers one report when the countdown has some left, and counts it down.
// Without CLEANUP_DEBUG_REPORTS it does nothing at all.
void DebugReport(DebugReportCountdown& countdown, const char* file, int line, const char* text);

// Tests capture reports here instead of standard error; null restores stderr.
using DebugReportHook = void (*)(const char* title, const char* detail);
void SetDebugReportHook(DebugReportHook hook);

#ifdef CLEANUP_DEBUG_REPORTS
#define CLEANUP_CHECK(countdown, condition, text)                     \
  do {                                                                \
    if (!(condition)) DebugReport((countdown), __FILE__, __LINE__, (text)); \
  } while (0)
#define CLEANUP_REPORT(countdown, text) DebugReport((countdown), __FILE__, __LINE__, (text))
#else
#define CLEANUP_CHECK(countdown, condition, text) \
  do {                                            \
  } while (0)
#define CLEANUP_REPORT(countdown, text) \
  do {                                  \
  } while (0)
#endif
