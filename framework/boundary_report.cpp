#include "framework/boundary_report.h"

#include <cstdio>
#include <exception>

#include "framework/actor_assert.h"

void ReportStoppedException(VorlaneParameters* params, const char* actorName,
                            const char* entryPoint, int line) noexcept {
  // A fixed buffer: the exception may be bad_alloc.
  char text[256];
  try {
    throw;
  } catch (const std::exception& e) {
    std::snprintf(text, sizeof(text), "%s: exception stopped at the boundary: %s", entryPoint,
                  e.what());
  } catch (...) {
    std::snprintf(text, sizeof(text), "%s: exception of unknown type stopped at the boundary",
                  entryPoint);
  }
  ReportAssertion(params, text, actorName, line);
}
