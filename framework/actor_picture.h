// The actor picture shown in the actor's box. One PictInfo per plug-in file,
// loaded by the host on the first GetActorDefinedArea of any instance and
// never released.
#pragma once

#include <cstdint>

#include "framework/vorlane_types.h"

// This plug-in file's picture record.
extern PictInfo gPictInfo;

// Loads the picture if the loaded flag is 0, reports its width and height
// (0 and 0 for the two further values) and returns 1.
uint8_t GetActorPictureArea(VorlaneParameters* params, ActorInfo* info, int16_t* width,
                            int16_t* height, int16_t* third, int16_t* fourth);

// Draws the picture when `part` is 1 and the picture is loaded: the loaded
// flag is 1, or any non-zero value when `loadedWhenNonZero` is set.
void DrawActorPictureArea(VorlaneParameters* params, ActorInfo* info, uint16_t part, Rect* area,
                          uint8_t state, bool loadedWhenNonZero);
