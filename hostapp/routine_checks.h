// What every host routine does with its call, shared by the drawing routines
// and the dialog engine's: count it on the current host, check its arguments
// against the contract and report a violation as "Routine: what". The checks
// of every call are inline, so the routines stay cheap.
#pragma once

#include <cstdint>
#include <string>

#include "cleanup/host_abi.h"
#include "hostapp/host.h"

namespace hostapp {

// The current host, with the call counted and its hook run; nullptr when no
// host is current.
inline Host* EnterRoutine(int32_t selector) {
  Host* h = CurrentHost();
  if (h != nullptr) h->Enter(selector);
  return h;
}

// Reports "routine: what" to h; nothing without a host.
void Violation(Host* h, const char* routine, const std::string& what);

// False, and reported as "routine: null what", when p is null.
inline bool NotNull(Host* h, const char* routine, const void* p, const char* what) {
  if (p == nullptr) Violation(h, routine, std::string("null ") + what);
  return p != nullptr;
}

// A boolean answer: true as the host answers it (settings.trueValue), else 0.
inline HostBool Answer(const Host* h, bool value) {
  if (!value) return 0;
  return h != nullptr ? h->True() : HostBool{1};
}

// The terminator of a text handed in, when it lies within the 256-byte
// buffer; nullptr for a null text or one not terminated there. Reads byte by
// byte, so a short text is never read past its end.
const char* TextEnd(const char* text);

// The shortest text that reads back as v.
std::string NumberText(double v);

}  // namespace hostapp
