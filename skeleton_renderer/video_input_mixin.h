// CVideoInputMixin: the state of one video input of a video actor.
//
// A video input receives either an image record ('imgb') or a texture record
// ('txtr') from the host as a data Value. The mixin recognises the record,
// remembers it and the index of the image source it came from, and keeps one
// retain on the texture object of the last texture record seen.
//
// The records belong to the host and are valid until the next value arrives
// on the input; the mixin never frees them. The retained texture object is
// released by the destructor.
//
// Thread-safety: none; [main thread] (the host's thread for callbacks and
// messages).
#pragma once

#include <cstdint>

#include "framework/four_char_code.h"
#include "framework/vorlane_types.h"

inline constexpr uint32_t kImageRecordCode = FourCharCode("imgb");
inline constexpr uint32_t kTextureRecordCode = FourCharCode("txtr");
// Written by the host into every genuine image and texture record.
inline constexpr uint32_t kVideoRecordMark = 0x12345678;

namespace VideoRecordLayout {
inline constexpr size_t kCode = 0;              // u32, 'imgb' or 'txtr'
inline constexpr size_t kImageMark = 72;        // u32 mark of an 'imgb' record
inline constexpr size_t kTextureMark = 12;      // u32 mark of a 'txtr' record
inline constexpr size_t kTextureObject = 16;    // host texture object of a 'txtr' record
inline constexpr size_t kTextureSource = 24;    // i32 source index of a 'txtr' record
}  // namespace VideoRecordLayout

class CVideoInputMixin {
 public:
  CVideoInputMixin() = default;
  // Releases the retained texture object.
  virtual ~CVideoInputMixin();

  CVideoInputMixin(const CVideoInputMixin&) = delete;
  CVideoInputMixin& operator=(const CVideoInputMixin&) = delete;

  // Takes the input's new value (null allowed) with the index the host gave
  // it. Returns the effective index: the override index when set, else the
  // source index (-1 when the value is no video record).
  virtual int32_t SetInput(const Value* value, int32_t index);

  // Forgets the current records (the texture object stays retained).
  virtual void Clear();

  // -1 removes the override.
  void SetOverrideIndex(int32_t index) { mOverrideIndex = index; }

  void* TextureRecord() const { return mTextureRecord; }
  void* Texture() const { return mTexture; }
  void* ImageRecord() const { return mImageRecord; }
  uint32_t Kind() const { return mKind; }
  int32_t SourceIndex() const { return mSourceIndex; }
  int32_t Index() const { return mIndex; }
  int32_t OverrideIndex() const { return mOverrideIndex; }

 private:
  void TakeTextureRecord(void* record);

  void* mTextureRecord = nullptr;  // host's, not owned
  void* mTexture = nullptr;        // host's, one retain held
  void* mImageRecord = nullptr;    // host's, not owned
  uint32_t mKind = 0;
  int32_t mSourceIndex = -1;
  int32_t mIndex = -1;
  [[maybe_unused]] int32_t mReserved = -1;  // kept for the record's layout
  int32_t mOverrideIndex = -1;
  [[maybe_unused]] uint64_t mReservedWord = 0;
};
