// The text of TEXT and MTEXT values, as a picture shows it.
#pragma once

#include <string>
#include <vector>

namespace drawclean {

// Text of a TEXT or MTEXT value as plain UTF-8 lines: MTEXT formatting and
// %% codes resolved, bytes that are not UTF-8 read as Latin-1, control
// characters dropped.
std::vector<std::string> PlainTextLines(const std::string& value, bool mtext);

}  // namespace drawclean
