// The fixture of the behaviour tests: a Host with the real libcleanup.so
// loaded, and helpers that run the command on a drawing and compare results.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "hostapp/host.h"
#include "hostapp/objects.h"

// The 26 option bytes as the test wants them in the settings block.
struct Options {
  uint8_t flags[9] = {0, 1, 0, 0, 0, 1, 0, 0, 0};
  double tolerance1 = 0.01, tolerance2 = 0.0001;
  // Options beyond the flags (record bytes 40 to 46); the block is written,
  // tag and all, only when one of them is on.
  uint8_t extra[7] = {};
};
enum ExtraIndex { kXNear, kXEdges, kXRepeat, kXIgnoreLayer, kXIgnoreColour, kXIgnoreLineweight, kXIgnoreLinetype };
// `o` with the extra options `on` switched on.
Options WithExtra(Options o, std::initializer_list<ExtraIndex> on);

// Only option flag `flag` on.
Options OnlyPass(int flag);

// The host's name of the plug-in's temporary marker class (list 11003, 11).
std::string MarkerClassName();

// "Routine(args)" of the calls made inside traversal number `index` (from 0)
// of the host's call log; TraversalCallNames gives the routine names only.
std::vector<std::string> TraversalCalls(const hostapp::Host& host, int index);
std::vector<std::string> TraversalCallNames(const hostapp::Host& host, int index);

// Readable one-line text of an object, for diffs.
std::string Describe(const hostapp::Object& o);

// Geometry, closed state, class and attributes equal (coordinates to 1e-9).
bool SameObject(const hostapp::Object& a, const hostapp::Object& b, std::string* why = nullptr);

class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Action 1, the options written into the settings block, action 3, action
  // 2; action 3's result.
  int32_t RunCommand(const Options& options);

  // Adds the drawing's objects in order; their handles.
  std::vector<ObjectHandle> Load(const std::vector<hostapp::Object>& drawing);
  // The live objects, in order.
  std::vector<hostapp::Object> Drawing() const;

  // Loads the drawing, runs the command (expecting result 0) and compares
  // the live objects in order with expected.
  void checkPass(const Options& options, const std::vector<hostapp::Object>& drawing,
                 const std::vector<hostapp::Object>& expected);
  void checkNoChange(const Options& options, const std::vector<hostapp::Object>& drawing);

  hostapp::Host host;
};
