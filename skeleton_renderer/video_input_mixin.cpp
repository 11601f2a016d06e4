#include "skeleton_renderer/video_input_mixin.h"

#include "framework/value_access.h"
#include "skeleton_renderer/host_texture_object.h"
#include "skeleton_renderer/image_buffer_record.h"

CVideoInputMixin::~CVideoInputMixin() {
  ReleaseHostTexture(mTexture);
  mTexture = nullptr;
}

void CVideoInputMixin::Clear() {
  mTextureRecord = nullptr;
  mImageRecord = nullptr;
}

int32_t CVideoInputMixin::SetInput(const Value* value, int32_t index) {
  Clear();
  void* record = ValueToData(value);
  if (record != nullptr) {
    const uint32_t code = RecordField::Read<uint32_t>(record, VideoRecordLayout::kCode);
    if (code == kImageRecordCode) {
      if (RecordField::Read<uint32_t>(record, VideoRecordLayout::kImageMark) == kVideoRecordMark) {
        mKind = kImageRecordCode;
        mImageRecord = record;
        mSourceIndex = index;
      }
    } else if (code == kTextureRecordCode) {
      if (RecordField::Read<uint32_t>(record, VideoRecordLayout::kTextureMark) == kVideoRecordMark) {
        TakeTextureRecord(record);
      }
    } else {
      mSourceIndex = -1;
      mKind = 0;
    }
  } else {
    mSourceIndex = -1;
    mKind = 0;
  }
  mIndex = mOverrideIndex != -1 ? mOverrideIndex : mSourceIndex;
  return mIndex;
}

void CVideoInputMixin::TakeTextureRecord(void* record) {
  mKind = kTextureRecordCode;
  mTextureRecord = record;
  mSourceIndex = RecordField::Read<int32_t>(record, VideoRecordLayout::kTextureSource);
  void* texture = RecordField::Read<void*>(record, VideoRecordLayout::kTextureObject);
  if (texture != mTexture) {
    // Retain before releasing, so a host that counts per object never sees
    // a texture drop to zero while it is being handed over.
    RetainHostTexture(texture);
    ReleaseHostTexture(mTexture);
    mTexture = texture;
  }
}
