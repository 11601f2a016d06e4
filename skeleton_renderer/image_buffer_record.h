// The few fields of the host's image buffer, texture and video frame records
// that a video helper reads or writes.
//
// The host owns these records; their remaining layout is its own. Every
// access goes through memcpy at the fixed byte offset, so an oddly aligned
// record is read without undefined behaviour. All accessors accept null and
// then return the neutral value (0, false, null) or do nothing.
//
// Thread-safety: the records are touched only on the host's thread that
// delivers the actor's callbacks and messages.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ImageBufferLayout {
inline constexpr size_t kTextureRecord = 16;  // pointer to the buffer's texture record
inline constexpr size_t kWidth = 32;          // i32
inline constexpr size_t kHeight = 36;         // i32
inline constexpr size_t kDrawing = 40;        // u8, non-zero while a draw is in progress
}  // namespace ImageBufferLayout

namespace TextureRecordLayout {
inline constexpr size_t kFrameMark = 56;  // i32, set to 1 on every new buffer and sent frame
}  // namespace TextureRecordLayout

namespace VideoFrameLayout {
inline constexpr size_t kTextureRecord = 16;  // pointer to the frame's texture record
}  // namespace VideoFrameLayout

namespace RecordField {

template <class T>
T Read(const void* record, size_t offset) {
  T field{};
  if (record != nullptr) std::memcpy(&field, static_cast<const char*>(record) + offset, sizeof(T));
  return field;
}

template <class T>
void Write(void* record, size_t offset, T field) {
  if (record != nullptr) std::memcpy(static_cast<char*>(record) + offset, &field, sizeof(T));
}

}  // namespace RecordField

inline int32_t ImageBufferWidth(const void* buffer) {
  return RecordField::Read<int32_t>(buffer, ImageBufferLayout::kWidth);
}

inline int32_t ImageBufferHeight(const void* buffer) {
  return RecordField::Read<int32_t>(buffer, ImageBufferLayout::kHeight);
}

// True while the host has the buffer's drawing context current.
inline bool ImageBufferIsDrawing(const void* buffer) {
  return RecordField::Read<uint8_t>(buffer, ImageBufferLayout::kDrawing) != 0;
}

inline void* ImageBufferTextureRecord(const void* buffer) {
  return RecordField::Read<void*>(buffer, ImageBufferLayout::kTextureRecord);
}

inline void* VideoFrameTextureRecord(const void* frame) {
  return RecordField::Read<void*>(frame, VideoFrameLayout::kTextureRecord);
}

// Sets the texture record's frame mark to 1 (the host reads it; the actor
// only ever writes 1).
inline void MarkTextureRecord(void* textureRecord) {
  RecordField::Write<int32_t>(textureRecord, TextureRecordLayout::kFrameMark, 1);
}
