// The assertion convention: a failed internal check is reported to the host's
// AssertionFailed with the condition's source text, the actor's display name
// and the source line of the check, and execution then continues on the same
// path. Checks never abort.
#pragma once

#include "framework/vorlane_types.h"

// Reports one failed check. Safe with a null `params`. [main thread]
void ReportAssertion(VorlaneParameters* params, const char* conditionText, const char* actorName,
                     int line) noexcept;

// Checks `cond`; on failure reports its source text.
#define VORL_ASSERT(params, actorName, cond) \
  ((cond) ? (void)0 : ReportAssertion((params), #cond, (actorName), __LINE__))

// Checks `cond` but reports `text`: for conditions whose written form cannot be
// compiled cleanly (an unsigned value tested `>= 0`, `nil`).
#define VORL_ASSERT_TEXT(params, actorName, cond, text) \
  ((cond) ? (void)0 : ReportAssertion((params), (text), (actorName), __LINE__))
