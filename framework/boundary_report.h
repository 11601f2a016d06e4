// What the C boundary says when it stops an exception: the trampolines of
// actor_entry_points.h catch everything an actor throws, and report it to the
// host's AssertionFailed as "<entry point>: exception stopped at the
// boundary: <what()>" (or "... of unknown type ..."), with the actor's display
// name, before returning their neutral result. Nothing ever crosses.
//
// Thread-safety: [main thread], like the entry points it serves.
#pragma once

#include "framework/vorlane_types.h"

// Call only inside a catch handler: reports the exception being handled.
// Allocates nothing and never throws; safe with a null `params`.
void ReportStoppedException(VorlaneParameters* params, const char* actorName,
                            const char* entryPoint, int line) noexcept;
