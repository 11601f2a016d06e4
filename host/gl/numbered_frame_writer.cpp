#include "host/gl/numbered_frame_writer.h"

#include <cstdio>
#include <utility>

#include "host/gl/png_writer.h"
#include "host/host.h"

namespace vhost {

CNumberedFrameWriter::CNumberedFrameWriter(CGLImageBufferBackend& backend, std::string directory,
                                           std::string prefix)
    : mBackend(backend), mDirectory(std::move(directory)), mPrefix(std::move(prefix)) {}

std::string CNumberedFrameWriter::NextPath() const {
  char number[24];
  std::snprintf(number, sizeof(number), "%05llu", static_cast<unsigned long long>(mWritten) + 1);
  std::string path = mDirectory;
  if (!path.empty() && path.back() != '/') path += '/';
  return path + mPrefix + number + ".png";
}

bool CNumberedFrameWriter::Write(const void* frame, std::string* error) {
  if (frame == nullptr || !mBackend.ReadFrame(frame, mImage)) {
    if (error != nullptr) *error = frame == nullptr ? "null frame" : "not a frame of a live image buffer";
    return false;
  }
  if (!WriteRgbaPng(NextPath(), mImage, error)) return false;
  ++mWritten;
  return true;
}

CGLImageBufferBackend* InstallGLImageBufferBackend(CHost& host, std::string* error) {
  auto backend = CGLImageBufferBackend::Create(error);
  if (backend == nullptr) return nullptr;
  CGLImageBufferBackend* raw = backend.get();
  host.SetImageBufferBackend(std::move(backend));
  return raw;
}

}  // namespace vhost
