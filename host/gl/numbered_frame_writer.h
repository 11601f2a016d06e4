// CNumberedFrameWriter: saves video frames of a GL image buffer backend as
// numbered PNG files (<directory>/<prefix>00001.png, 00002, ...), for a
// patch run that keeps what a video output showed.
//
// Thread-safety: none; the host's main thread only (it reads frames back
// through the backend's context).
#pragma once

#include <cstdint>
#include <string>

#include "host/gl/gl_image_buffer_backend.h"

namespace vhost {

class CNumberedFrameWriter {
 public:
  // REQUIRES: `backend` outlives the writer.
  CNumberedFrameWriter(CGLImageBufferBackend& backend, std::string directory, std::string prefix);

  // Writes the next numbered file from `frame` (a frame pointer sent on a
  // video output). A null or foreign frame writes nothing and returns false
  // with the reason in `error` (may be null); the number is used only when a
  // file was written.
  bool Write(const void* frame, std::string* error);

  uint64_t FramesWritten() const { return mWritten; }
  // The path the next frame will be written to.
  std::string NextPath() const;

 private:
  CGLImageBufferBackend& mBackend;
  std::string mDirectory;
  std::string mPrefix;
  uint64_t mWritten = 0;
  RgbaImage mImage;  // reused, so a long run does not reallocate per frame
};

// Makes a GL image buffer backend and installs it in `host` (which then owns
// it). Returns it, or null with the reason in `error` when no headless
// context can be made; the host keeps its previous backend then.
// REQUIRES: the host has no live image buffers.
class CHost;
CGLImageBufferBackend* InstallGLImageBufferBackend(CHost& host, std::string* error);

}  // namespace vhost
