// Whatever escapes a run ends in exit 2 and one line that says what happened.
#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "failure.h"

namespace {

using drawclean::RunGuarded;
using drawclean::RunStage;

struct Case {
  const char* name;
  std::function<int()> body;
  RunStage stage;
  int status;
  std::string line;  // what standard error shows
};

TEST(RunGuarded, OneLineAndExit2ForWhatEscapes) {
  const Case cases[] = {
      {"finishes", [] { return 1; }, {}, 1, ""},
      {"out of memory while reading", []() -> int { throw std::bad_alloc(); }, {"reading the drawing", 0}, 2,
       "drawclean: out of memory while reading the drawing; no output written\n"},
      {"out of memory later", []() -> int { throw std::bad_alloc(); }, {"cleaning the drawing", 1234567}, 2,
       "drawclean: out of memory while cleaning the drawing, after reading 1,234,567 entities; "
       "no output written\n"},
      {"other exception", []() -> int { throw std::length_error("vector too long"); },
       {"writing the drawing", 999}, 2,
       "drawclean: internal error (vector too long) while writing the drawing, after reading 999 entities; "
       "no output written\n"},
      {"not an exception", []() -> int { throw 7; }, {}, 2,
       "drawclean: internal error (unknown exception) while starting; no output written\n"},
  };
  for (const Case& c : cases) {
    ::testing::internal::CaptureStderr();
    const int status = RunGuarded(c.body, c.stage);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), c.line) << c.name;
    EXPECT_EQ(status, c.status) << c.name;
  }
}

}  // namespace
