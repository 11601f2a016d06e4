// CWalkingFigure: a person about 1.75 m tall walking round a circle with the
// arms swinging, as 19 sensor positions for the suit simulator.
//
// Figure coordinates are metres, x to the figure's right when it faces +z,
// y up (the floor is y = 0), z forward. Sensors sit where a renderer should
// draw the body: shoulders, elbows ("upper-arm"), wrists ("lower-arm"), hands,
// knees ("upper-leg"), ankles ("lower-leg"), toes ("foot"), and hip, stomach,
// chest, neck and head along the trunk.
//
// Each figure index gets its own circle (2.5 m apart along x) and gait phase,
// so several suits are told apart in a picture. The motion depends only on
// the time given, so a frame number and a rate reproduce a frame exactly.
//
// Thread-safety: immutable after construction; const members may be called
// from any thread.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "tools/suitsim/suit_frame.h"

struct FigurePoint {
  float x;
  float y;
  float z;
};

class CWalkingFigure {
 public:
  explicit CWalkingFigure(int figureIndex);

  // Positions of the 19 sensors at `seconds`, in kSuitDefaultRecordOrder.
  std::array<FigurePoint, kSuitRecordCount> PoseAt(double seconds) const;

  // A whole frame for suit `suitID` at `seconds`, records in the suit's
  // default order; `frameNumber` goes into the counter bytes.
  SuitFrame FrameAt(const std::string& suitID, double seconds, uint32_t frameNumber) const;

 private:
  double mCentreX;
  double mPhase;
};
