// Reading inputs and writing outputs so that a failed run leaves no partial
// file: every output goes to a temporary file beside its target and is
// renamed over it only once complete.
#pragma once

#include <string>

namespace drawclean {

bool ReadFile(const std::string& path, std::string& text, std::string* error);
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string* error);
// True when both paths name the same file (the second need not exist).
bool SameFile(const std::string& a, const std::string& b);

}  // namespace drawclean
