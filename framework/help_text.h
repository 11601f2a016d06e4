// The shared help lookup: the host maps (kind, index) to an entry of the
// plug-in's help table (0 the actor, then inputs, then outputs).
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/vorlane_types.h"

// Copies at most `size` characters of `text` into `buffer` (padding with NULs)
// and then stores a NUL in the last byte. With size 0 nothing is written.
void CopyHelpText(const char* text, char* buffer, uint32_t size);

// GetHelpString in its common form: asks GetPropertyHelpIndex (even when
// `size` is 0), then copies entry `index` of `helpStrings`. An index the table
// does not have gives an empty text.
void GetHelpStringFromTable(VorlaneParameters* params, ActorInfo* info, uint8_t kind, uint16_t index,
                            char* buffer, uint32_t size, const char* const* helpStrings,
                            size_t helpCount);
