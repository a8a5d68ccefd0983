// The tag reader on the shapes of text real files come in: line endings,
// the last line, blank group codes, numbers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "dxf/splice.h"
#include "dxf/tags.h"

using namespace drawclean;

namespace {

struct Pair {
  int code;
  std::string value;
  bool operator==(const Pair&) const = default;
};

std::vector<Pair> Pairs(const DxfFile& f) {
  std::vector<Pair> out;
  for (const DxfTag& t : f.tags) out.push_back({t.code, std::string(t.value)});
  return out;
}

std::ostream& operator<<(std::ostream& os, const Pair& p) { return os << p.code << "/" << p.value; }

}  // namespace

// Every file that reads gives the same pairs, and writes back byte for byte;
// each tag's bytes run from its code line to the end of its value line.
TEST(DxfReader, LineEndingsAndTheLastLine) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<Pair> pairs;
    std::string eol;
    size_t tail;  // bytes kept after 0/EOF
  };
  const std::vector<Pair> point = {{0, "SECTION"}, {2, "ENTITIES"}, {0, "POINT"}, {10, "1.5"},
                                   {0, "ENDSEC"},  {0, "EOF"}};
  const std::string lf = "0\nSECTION\n2\nENTITIES\n0\nPOINT\n10\n1.5\n0\nENDSEC\n0\nEOF";
  const std::string crlf = "0\r\nSECTION\r\n2\r\nENTITIES\r\n0\r\nPOINT\r\n10\r\n1.5\r\n0\r\nENDSEC\r\n0\r\nEOF";
  const Case cases[] = {
      {"LF", lf + "\n", point, "\n", 0},
      {"CRLF", crlf + "\r\n", point, "\r\n", 0},
      {"no final newline", lf, point, "\n", 0},
      {"CRLF, no final newline", crlf, point, "\r\n", 0},
      {"a lone CR at the end", lf + "\r", point, "\n", 0},
      {"bytes after EOF", lf + "\n\n  junk\n", point, "\n", 8},
      {"byte order mark", "\xEF\xBB\xBF" + lf + "\n", point, "\n", 0},
      {"padded codes", "  0\nSECTION\n  2\nENTITIES\n  0\nPOINT\n 10\n1.5\n  0\nENDSEC\n  0\nEOF\n", point, "\n", 0},
      {"blanks after EOF", "0\nSECTION\n2\nX\n0\nEOF\n   ", {{0, "SECTION"}, {2, "X"}, {0, "EOF"}},
       "\n", 3},
      // The value keeps its blanks and any CR but the line ending's.
      {"value blanks kept", "0\nSECTION\n1\n  a b \r\r\n0\nEOF\n", {{0, "SECTION"}, {1, "  a b \r"}, {0, "EOF"}},
       "\n", 0},
      {"empty values", "0\n\n1\n\n0\nEOF\n", {{0, ""}, {1, ""}, {0, "EOF"}}, "\n", 0},
  };
  for (const Case& c : cases) {
    std::string error;
    auto f = ParseDxf(c.text, &error);
    ASSERT_TRUE(f) << c.name << ": " << error;
    EXPECT_EQ(Pairs(*f), c.pairs) << c.name;
    EXPECT_EQ(f->eol, c.eol) << c.name;
    EXPECT_EQ(f->source.size() - f->tailBegin, c.tail) << c.name;
    EXPECT_EQ(WriteDxf(*f, {}), c.text) << c.name;
    std::string joined(c.text.substr(0, f->Begin(0)));
    for (size_t i = 0; i < f->tags.size(); ++i) {
      EXPECT_EQ(f->End(i), i + 1 < f->tags.size() ? f->Begin(i + 1) : f->tailBegin) << c.name << " tag " << i;
      joined += RawTags(*f, i, i + 1);
    }
    EXPECT_EQ(joined + c.text.substr(f->tailBegin), c.text) << c.name;
  }
}

TEST(DxfReader, MalformedLinesSayWhere) {
  struct Case {
    const char* name;
    std::string text;
    const char* reason;
  };
  const Case cases[] = {
      {"a group code of spaces", "0\nSECTION\n   \nX\n0\nEOF\n", "line 3: group code expected, found ''"},
      {"a group code of a tab", "0\nSECTION\n\t\nX\n0\nEOF\n", "line 3: group code expected, found ''"},
      {"a code with a sign", "0\nSECTION\n+2\nX\n0\nEOF\n", "line 3: group code expected, found '+2'"},
      {"a code past int", "0\nSECTION\n99999999999\nX\n0\nEOF\n", "found '99999999999'"},
      {"a code at the end of the file", "0\nSECTION\n0", "line 3: file ends after group code 0"},
      {"a value at the end of the file, not EOF", "0\nSECTION\n2\nENTITIES", "no EOF marker"},
      {"NUL", std::string("0\nSECTION\n0\nE\0F\n", 16), "contains NUL bytes"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(ParseDxf(c.text, &error)) << c.name;
    EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
  }
}

// Numbers read in place take what the C library takes, and give the same
// double to the last bit.
TEST(DxfReader, NumbersAsTheCLibraryReadsThem) {
  const char* const values[] = {"0",       "-0.0",     "1.5",   " 2.25 ",  "1e3",       "-724.9812134527413",
                                "1E-320",  "1e400",    "+1.5",  "0x10",    ".5",        "5.",
                                "nan",     "inf",      "-INF",  "1.5abc",  "abc",       "",
                                "   ",     "1 2",      "0.1\r", "3.141592653589793238462643383279"};
  for (const char* v : values) {
    DxfTag tag;
    tag.value = v;
    const auto got = TagDouble(tag);
    std::string trimmed(Trimmed(v));
    char* end = nullptr;
    const double want = std::strtod(trimmed.c_str(), &end);
    const bool wanted = !trimmed.empty() && end == trimmed.c_str() + trimmed.size();
    ASSERT_EQ(got.has_value(), wanted) << "'" << v << "'";
    if (!wanted) continue;
    if (std::isnan(want)) EXPECT_TRUE(std::isnan(*got)) << v;
    else EXPECT_EQ(std::memcmp(&*got, &want, sizeof want), 0) << v << ": " << *got << " vs " << want;
  }
}
