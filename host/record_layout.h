// The host's own view of the records it shares with plug-ins, at their literal
// byte offsets.
//
// The host never includes the plug-ins' declarations of these records: it reads
// and writes them as bytes here, so a plug-in whose declaration drifts from the
// contract is misread by the host exactly as the real host would misread it,
// instead of agreeing with itself. Everything is plain memcpy at an offset;
// no alignment of the foreign record is assumed.
//
// Thread-safety: stateless functions, safe anywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace vhost::layout {

// ActorInfo: 744 bytes, one per instance (and one registration record per file).
inline constexpr size_t kActorInfoSize = 744;
inline constexpr size_t kClassCode = 0;
inline constexpr size_t kSecondCode = 4;
inline constexpr size_t kActorID = 8;
inline constexpr size_t kConstant256 = 12;
inline constexpr size_t kConstant128 = 16;
inline constexpr size_t kDisplayName = 24;
inline constexpr size_t kActorRef = 40;
inline constexpr size_t kActorDataPtr = 592;
inline constexpr size_t kGetParameterString = 624;
inline constexpr size_t kGetHelpString = 632;
inline constexpr size_t kCreateActor = 640;
inline constexpr size_t kDisposeActor = 648;
inline constexpr size_t kActivateActor = 656;
inline constexpr size_t kUnusedSlot664 = 664;
inline constexpr size_t kHandlePropertyChangeValue = 672;
inline constexpr size_t kNullSlot680 = 680;
inline constexpr size_t kNullSlot688 = 688;
inline constexpr size_t kPropertyValueToString = 696;
inline constexpr size_t kPropertyStringToValue = 704;
inline constexpr size_t kUnusedSlot712 = 712;
inline constexpr size_t kGetActorDefinedArea = 720;
inline constexpr size_t kDrawActorDefinedArea = 728;
inline constexpr size_t kNullSlot736 = 736;

// Value: 16 bytes, u16 tag at 0, 8-byte payload at 8.
inline constexpr size_t kValueSize = 16;
inline constexpr size_t kValueType = 0;
inline constexpr size_t kValuePayload = 8;
inline constexpr uint16_t kTypeInteger = 2;
inline constexpr uint16_t kTypeFloat = 3;   // payload is a double
inline constexpr uint16_t kTypeData = 5;    // payload is a pointer, may be null
inline constexpr uint16_t kTypeString = 6;  // payload points to a host string, may be null

// Host string: NUL-terminated characters start 8 bytes in.
inline constexpr size_t kHostStringText = 8;

// VorlaneParameters: the service table pointer at byte 16.
inline constexpr size_t kParametersSize = 32;
inline constexpr size_t kServiceTablePtr = 16;

// Actor picture record (32 bytes): loaded flag at 0, u16 width at 24, height at 26.
inline constexpr size_t kPictureSize = 32;
inline constexpr size_t kPictureLoaded = 0;
inline constexpr size_t kPictureWidth = 24;
inline constexpr size_t kPictureHeight = 26;

// The GL backend's image buffer record, the fields a plug-in reads: the
// texture record pointer, i32 width and height, the u8 drawing-in-progress
// flag. Its texture record: the i32 frame mark the plug-in writes. A video
// frame record: the texture record pointer.
inline constexpr size_t kImageBufferTexture = 16;
inline constexpr size_t kImageBufferWidth = 32;
inline constexpr size_t kImageBufferHeight = 36;
inline constexpr size_t kImageBufferDrawing = 40;
inline constexpr size_t kTextureFrameMark = 56;
inline constexpr size_t kFrameTexture = 16;

// Skeleton package: 52-byte header, then 44-byte points.
inline constexpr uint32_t kSkeletonSignature = 0x736B656C;  // 'skel'
inline constexpr size_t kSkelSignature = 0;
inline constexpr size_t kSkelVersion = 4;
inline constexpr size_t kSkelUpdateCount = 8;
inline constexpr size_t kSkelTypeName = 12;
inline constexpr size_t kSkelTypeNameSize = 16;
inline constexpr size_t kSkelReserved = 28;
inline constexpr size_t kSkelSkeletonID = 32;
inline constexpr size_t kSkelTrackingState = 33;
inline constexpr size_t kSkelUnit = 34;
inline constexpr size_t kSkelLabelHash = 40;
inline constexpr size_t kSkelPointCount = 48;
inline constexpr size_t kSkelHeaderSize = 52;
inline constexpr size_t kSkelPointSize = 44;
inline constexpr size_t kSkelPointName = 0;
inline constexpr size_t kSkelPointNameSize = 32;
inline constexpr size_t kSkelPointX = 32;
inline constexpr size_t kSkelPointY = 36;
inline constexpr size_t kSkelPointZ = 40;

// Service table: 208 slots of 8 bytes; the services and their byte offsets
// are listed once, in contract/host_service_list.h.
inline constexpr size_t kServiceSlotCount = 208;

// Reads a T at `offset` of a foreign record.
template <class T>
T ReadAt(const void* record, size_t offset) {
  T value;
  std::memcpy(&value, static_cast<const unsigned char*>(record) + offset, sizeof(T));
  return value;
}

// Writes a T at `offset` of a foreign record.
template <class T>
void WriteAt(void* record, size_t offset, const T& value) {
  std::memcpy(static_cast<unsigned char*>(record) + offset, &value, sizeof(T));
}

}  // namespace vhost::layout
