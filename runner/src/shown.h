// Values from the input quoted in one-line messages.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace drawclean {

// How much of a value from the input an error message quotes.
inline constexpr size_t kShownLimit = 60;
// `s` fit for a one-line message: control characters and DEL escaped (\n,
// \t, \x1b, ...), cut after `limit` characters with the full length said.
std::string Shown(std::string_view s, size_t limit = kShownLimit);

}  // namespace drawclean
