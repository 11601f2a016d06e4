// CTextureCompanion: an object that depends on a video helper's texture A and
// is told when that texture is deleted.
//
// The helper does not own the companion; whoever installs it keeps it alive
// while it is installed.
//
// Thread-safety: none; called on the host's thread for callbacks and
// messages, with the drawing context current.
#pragma once

#include <cstdint>

class CTextureCompanion {
 public:
  // Called right after the texture has been deleted.
  virtual void TextureDeleted() = 0;

 protected:
  ~CTextureCompanion() = default;
};

// The companion's bookkeeping kept next to texture A. Reset to zeros with
// mState -1 after the texture is deleted.
struct TextureCompanionRecord {
  uint64_t mWords[2] = {0, 0};
  CTextureCompanion* mCompanion = nullptr;
  int32_t mState = -1;
};
