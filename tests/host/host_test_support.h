// Calls into the current host exactly as the plug-in makes them: through the
// dispatcher, cast to the interface's routine type.
#pragma once

#include <string>

#include "hostapp/host.h"

namespace hostapp_test {

template <typename Fn>
Fn Routine(int32_t selector) {
  return reinterpret_cast<Fn>(hostapp::Dispatch(selector));
}

inline std::string AllViolations(const hostapp::Host& host) {
  std::string all;
  for (const std::string& v : host.Violations()) all += "\n  " + v;
  return all;
}

}  // namespace hostapp_test
