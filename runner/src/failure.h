// The runner's last line of defence: whatever escapes the work of a run
// (running out of memory above all) ends in one line on standard error and
// exit status 2, never in a signal or a half-written output.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace drawclean {

// What the runner is doing, kept up to date so the line can say it.
struct RunStage {
  const char* doing = "starting";
  size_t entitiesRead = 0;  // known once the drawing is read
};

// 1234567 as "1,234,567".
std::string Grouped(size_t n);

// "out of memory while cleaning the drawing, after reading 1,234,567 entities"
std::string FailureText(const char* what, const RunStage& stage, bool outOfMemory);

// Runs body and returns its exit status; an exception becomes exit 2 with one
// line on standard error.
int RunGuarded(const std::function<int()>& body, const RunStage& stage);

}  // namespace drawclean
