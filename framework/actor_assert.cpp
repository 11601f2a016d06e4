#include "framework/actor_assert.h"

#include "framework/host_services.h"

void ReportAssertion(VorlaneParameters* params, const char* conditionText, const char* actorName,
                     int line) noexcept {
  Host::AssertionFailed(params, conditionText, actorName, line);
}
