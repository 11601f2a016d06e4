// CGLResource: a GL object that a video helper owns on behalf of its actor
// (a program, a vertex buffer, ...).
//
// The helper deletes it through the virtual destructor while the host's
// drawing context is current, so the destructor may release GL names.
//
// Thread-safety: none; destroyed on the host's thread for callbacks and
// messages.
#pragma once

class CGLResource {
 public:
  virtual ~CGLResource() = default;
};
