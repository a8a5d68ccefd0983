#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "dxf/splice.h"
#include "dxf/structure.h"
#include "dxf/tags.h"
#include "shown.h"
#include "test_files.h"

using namespace drawclean;

namespace {

std::vector<std::filesystem::path> Samples() {
  std::vector<std::filesystem::path> files;
  if (!std::filesystem::is_directory(DXF_SAMPLES_DIR)) return files;
  for (auto& e : std::filesystem::directory_iterator(DXF_SAMPLES_DIR))
    if (e.path().extension() == ".dxf") files.push_back(e.path());
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

TEST(DxfTags, EverySampleRoundTripsByteForByte) {
  auto files = Samples();
  if (files.empty()) GTEST_SKIP() << "no sample drawings at " << DXF_SAMPLES_DIR;
  for (const auto& p : files) {
    std::string text = ReadAll(p);
    std::string error;
    auto file = ParseDxf(text, &error);
    ASSERT_TRUE(file) << p << ": " << error;
    EXPECT_EQ(WriteDxf(*file, {}), text) << p;
  }
}

TEST(DxfTags, SpliceReplacesOnlyItsRange) {
  std::string text = "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\nPOINT\r\n 10\r\n1.5\r\n  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
  auto file = ParseDxf(text, nullptr);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->eol, "\r\n");
  EXPECT_TRUE(file->paddedCodes);
  ASSERT_EQ(file->tags.size(), 6u);
  EXPECT_EQ(FormatTag(*file, 10, "2.0"), " 10\r\n2.0\r\n");
  std::string out = WriteDxf(*file, {{3, 4, FormatTag(*file, 10, FormatDouble(-724.9812134527413))}});
  EXPECT_EQ(out, "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\nPOINT\r\n 10\r\n-724.9812134527413\r\n"
                 "  0\r\nENDSEC\r\n  0\r\nEOF\r\n");
}

TEST(DxfTags, PolylineKeepsItsVerticesTogether) {
  std::string text =
      "0\nSECTION\n2\nENTITIES\n0\nPOLYLINE\n66\n1\n0\nVERTEX\n10\n0\n0\nVERTEX\n10\n1\n"
      "0\nSEQEND\n0\nLINE\n10\n0\n0\nENDSEC\n0\nEOF\n";
  auto file = ParseDxf(text, nullptr);
  ASSERT_TRUE(file);
  auto sections = FindSections(*file);
  ASSERT_EQ(sections.size(), 1u);
  EXPECT_EQ(sections[0].name, "ENTITIES");
  auto entities = SplitEntities(*file, sections[0].body, sections[0].end);
  ASSERT_EQ(entities.size(), 2u);
  EXPECT_EQ(file->tags[entities[1].first].value, "LINE");
  EXPECT_EQ(entities[0].last, entities[1].first);
}

TEST(DxfTags, FormatDoubleKeepsFullPrecision) {
  for (double v : {0.0, -724.9812134527413, 1e-300, 123456789.0, 0.1, -3.0}) {
    std::string s = FormatDouble(v);
    EXPECT_EQ(std::stod(s), v) << s;
    EXPECT_NE(s.find_first_of(".e"), std::string::npos) << s;
  }
}

// TagDouble reads plain decimals its own faster way: every value must be
// strtod's, bit for bit, and what strtod alone reads must still be read.
TEST(DxfTags, NumbersReadAsStrtodReadsThem) {
  const char* const kValues[] = {
      "0.0", "-0.0", "5", "5.", ".5", "-724.9812134527413", "3.1809677317781815", "0.1",
      "9007199254740993", "2.2250738585072011e-308", "4.9406564584124654e-324", "1e-320",
      "1.7976931348623157e308", "1e400", "-1e400", "1e-400", "+1.5", "0x1p3", "inf", "-inf", "nan",
      "1.00000000000000011102230246251565404236316680908203125", "123456789012345678901234567890",
      "  12.5", "12.5  ", "1e", "1.2.3", "--1", "0.000000000000000000000000000000000000001",
  };
  for (const char* v : kValues) {
    const std::string text = std::string("  10\n") + v + "\n  0\nEOF\n";
    const auto file = ParseDxf(text, nullptr);
    ASSERT_TRUE(file.has_value()) << v;
    const std::optional<double> got = TagDouble(file->tags[0]);
    std::string trimmed(v);
    trimmed.erase(0, trimmed.find_first_not_of(' '));
    trimmed.erase(trimmed.find_last_not_of(' ') + 1);
    char* end = nullptr;
    const double want = std::strtod(trimmed.c_str(), &end);
    if (end != trimmed.c_str() + trimmed.size()) {
      EXPECT_FALSE(got.has_value()) << v;
      continue;
    }
    ASSERT_TRUE(got.has_value()) << v;
    EXPECT_EQ(std::memcmp(&*got, &want, sizeof want), 0) << v << ": " << *got << " against " << want;
  }
}

TEST(DxfTags, BadInputGetsAReason) {
  struct Case {
    const char* name;
    std::string text;
    const char* reason;
  };
  const Case cases[] = {
      {"binary", std::string("AutoCAD Binary DXF\r\n\x1a\0", 22), "binary DXF"},
      {"truncated value", "0\nSECTION\n2\nENTITIES\n0\n", "file ends after group code 0"},
      {"no EOF", "0\nSECTION\n2\nENTITIES\n0\nENDSEC\n", "no EOF marker"},
      {"bad code", "0\nSECTION\nxyz\nENTITIES\n0\nEOF\n", "line 3: group code expected"},
      {"empty", "", "empty file"},
      {"blank lines only", "\n\n", "empty file"},
      // A terminal escape in a group code is shown, not sent to the terminal.
      {"escape", "0\nSECTION\n\x1b]0;title\x07\nX\n", "found '\\x1b]0;title\\x07'"},
      {"long code", "0\nSECTION\n" + std::string(100000, '7') + "x\nX\n",
       "7777777777... (100001 characters)"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(ParseDxf(c.text, &error)) << c.name;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
    EXPECT_LT(error.size(), 160u) << c.name;
  }
}

TEST(DxfTags, ShownEscapesControlsAndCutsLongValues) {
  struct Case {
    std::string in, out;
  };
  const Case cases[] = {
      {"plain", "plain"},
      {"a\tb\r\n\\", "a\\tb\\r\\n\\\\"},
      {std::string("\x00\x1b\x7f", 3), "\\x00\\x1b\\x7f"},
      {std::string(61, 'x'), std::string(60, 'x') + "... (61 characters)"},
      // The cut never splits a character: "\xc3\xa9" stays whole or goes.
      {std::string(59, 'x') + "\xc3\xa9", std::string(59, 'x') + "... (61 characters)"},
  };
  for (const Case& c : cases) EXPECT_EQ(Shown(c.in), c.out);
}
