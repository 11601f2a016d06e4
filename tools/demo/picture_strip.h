// The pictures the demo keeps besides its numbered frames: reduced copies of
// frames from each Bonescope with the time they were drawn, laid out as a
// labelled contact sheet (PNG) and as an animation (GIF, with giflib).
//
// Thread-safety: none.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/gl/rgba_image.h"

struct SKeptFrame {
  double mSeconds = 0;
  vhost::RgbaImage mImage;  // reduced
};

struct SFrameRow {
  std::string mLabel;              // "E46", ...
  std::vector<SKeptFrame> mFrames;  // in time order
};

// Halves (or more) an image: every `factor`-th pixel's block averaged.
vhost::RgbaImage ReduceImage(const vhost::RgbaImage& image, int32_t factor);

// One row per Bonescope, `columns` frames each at evenly spread times, each
// cell headed by "<label>  T=<seconds>S". False with `error` when nothing was
// kept or the file cannot be written.
bool WriteContactSheet(const std::string& path, const std::vector<SFrameRow>& rows,
                       size_t columns, const std::string& title, std::string* error);

// The rows side by side, one animation frame per kept frame index, at
// `framesPerSecond`, looping. False with `error` on failure.
bool WriteAnimationGif(const std::string& path, const std::vector<SFrameRow>& rows,
                       double framesPerSecond, std::string* error);
