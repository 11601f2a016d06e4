#include "tools/suitsim/walking_figure.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kDegrees = kPi / 180.0;

// Body measures of a 1.75 m adult, metres.
constexpr double kHipHeight = 0.96;
constexpr double kHipHalfWidth = 0.09;
constexpr double kThigh = 0.45;
constexpr double kShin = 0.43;
constexpr double kFootForward = 0.13;
constexpr double kShoulderHeight = 1.44;
constexpr double kShoulderHalfWidth = 0.19;
constexpr double kUpperArm = 0.29;
constexpr double kForearm = 0.26;
constexpr double kHand = 0.08;

// Gait: about one stride per 1.1 s at 1.1 m/s, round a 1.6 m circle.
constexpr double kStrideHz = 0.9;
constexpr double kWalkSpeed = 1.1;
constexpr double kCircleRadius = 1.6;

struct Vec {
  double x, y, z;
};

Vec Add(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }

// A limb of `length` hanging down, swung forward by `angle` (radians) about
// the x axis.
Vec Hang(double length, double angle) {
  return {0.0, -length * std::cos(angle), length * std::sin(angle)};
}

size_t IndexOf(uint8_t address) {
  for (size_t i = 0; i < kSuitRecordCount; ++i) {
    if (kSuitDefaultRecordOrder[i] == address) return i;
  }
  return 0;
}

}  // namespace

CWalkingFigure::CWalkingFigure(int figureIndex)
    : mCentreX(2.5 * figureIndex), mPhase(0.7 * figureIndex) {}

std::array<FigurePoint, kSuitRecordCount> CWalkingFigure::PoseAt(double seconds) const {
  const double gait = 2.0 * kPi * kStrideHz * seconds + mPhase;

  // Body frame: the figure faces +z, x to its right.
  const double bob = 0.025 * std::cos(2.0 * gait);
  const double sway = 0.02 * std::sin(gait);
  const Vec hip{sway, kHipHeight + bob, 0.0};

  Vec joints[kSuitRecordCount];
  auto at = [&](uint8_t address) -> Vec& { return joints[IndexOf(address)]; };

  at(0xA0) = hip;
  at(0xA1) = Add(hip, {0.0, 0.16, 0.01});
  at(0xA2) = Add(hip, {0.0, 0.36, 0.02});
  at(0xA3) = Add(hip, {0.0, 0.56, 0.01});
  at(0x40) = Add(hip, {0.0, 0.70 + 0.01 * std::sin(2.0 * gait), 0.03});

  // Legs: thighs swing +-25 degrees in opposition; a knee bends most while
  // its leg swings forward, so the feet clear the floor.
  for (int side = 0; side < 2; ++side) {
    const double legPhase = gait + side * kPi;
    const double thigh = 25.0 * kDegrees * std::sin(legPhase);
    const double knee = (5.0 + 30.0 * std::max(0.0, std::sin(legPhase + 0.5 * kPi))) * kDegrees;
    const double sideX = side == 0 ? -kHipHalfWidth : kHipHalfWidth;
    const Vec hipJoint = Add(hip, {sideX, 0.0, 0.0});
    const Vec kneePoint = Add(hipJoint, Hang(kThigh, thigh));
    const Vec anklePoint = Add(kneePoint, Hang(kShin, thigh - knee));
    const Vec toePoint = Add(anklePoint, {0.0, -0.06, kFootForward});
    const uint8_t chain = side == 0 ? 0x00 : 0x80;
    at(chain | 0x01) = kneePoint;
    at(chain | 0x02) = anklePoint;
    at(chain | 0x03) = toePoint;
  }

  // Arms swing against the leg of their side, elbows bend a little more on
  // the forward swing.
  for (int side = 0; side < 2; ++side) {
    const double armPhase = gait + (side == 0 ? kPi : 0.0);
    const double upper = 20.0 * kDegrees * std::sin(armPhase);
    const double elbow = (15.0 + 15.0 * std::max(0.0, std::sin(armPhase))) * kDegrees;
    const double sideX = side == 0 ? -kShoulderHalfWidth : kShoulderHalfWidth;
    const Vec shoulder = Add(hip, {sideX, kShoulderHeight - kHipHeight, 0.0});
    const Vec elbowPoint = Add(shoulder, Hang(kUpperArm, upper));
    const Vec wristPoint = Add(elbowPoint, Hang(kForearm, upper + elbow));
    const Vec handPoint = Add(wristPoint, Hang(kHand, upper + elbow));
    const uint8_t chain = side == 0 ? 0x20 : 0x60;
    at(chain | 0x01) = shoulder;
    at(chain | 0x02) = elbowPoint;
    at(chain | 0x03) = wristPoint;
    at(chain | 0x04) = handPoint;
  }

  // Place the body on its circle, facing along the direction of walking.
  const double angle = kWalkSpeed / kCircleRadius * seconds + mPhase;
  const double baseX = mCentreX + kCircleRadius * std::cos(angle);
  const double baseZ = kCircleRadius * std::sin(angle);
  // Heading: the tangent (-sin, cos); the body's right is (cos, sin) rotated.
  const double forwardX = -std::sin(angle);
  const double forwardZ = std::cos(angle);
  const double rightX = forwardZ;
  const double rightZ = -forwardX;

  std::array<FigurePoint, kSuitRecordCount> pose{};
  for (size_t i = 0; i < kSuitRecordCount; ++i) {
    const Vec& j = joints[i];
    pose[i].x = static_cast<float>(baseX + j.x * rightX + j.z * forwardX);
    pose[i].y = static_cast<float>(j.y);
    pose[i].z = static_cast<float>(baseZ + j.x * rightZ + j.z * forwardZ);
  }
  return pose;
}

SuitFrame CWalkingFigure::FrameAt(const std::string& suitID, double seconds,
                                  uint32_t frameNumber) const {
  const auto pose = PoseAt(seconds);
  const double angle = kWalkSpeed / kCircleRadius * seconds + mPhase;
  // Orientation of the whole body about the vertical: the quaternion of a yaw.
  const double yaw = angle + 0.5 * kPi;
  const float qw = static_cast<float>(std::cos(0.5 * yaw));
  const float qy = static_cast<float>(std::sin(0.5 * yaw));

  SuitFrame frame;
  frame.mSuitID = suitID;
  frame.mFlags = 0x80;
  for (size_t i = 0; i < kSuitRecordCount; ++i) {
    SuitRecord& record = frame.mRecords[i];
    record.mHeader[0] = kSuitDefaultRecordOrder[i];
    record.mHeader[1] = 0x01;
    record.mHeader[2] = static_cast<uint8_t>(frameNumber);
    record.mHeader[3] = static_cast<uint8_t>(i);
    record.mVectorA[1] = 9.81f;  // at rest the accelerometer sees gravity
    record.mQuad[0] = qw;
    record.mQuad[2] = qy;
    const auto wire = WirePositionFromFigure(pose[i].x, pose[i].y, pose[i].z);
    for (size_t k = 0; k < 3; ++k) record.mWirePosition[k] = wire[k];
    record.mTrailer = frameNumber;
  }
  return frame;
}
