// The demo's live view: a block of lines redrawn in place on a terminal, or
// printed as plain lines (one block per update) when the output is a file or
// a pipe.
//
// Thread-safety: none.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

class CLiveView {
 public:
  explicit CLiveView(bool inPlace) : mInPlace(inPlace) {}
  void Show(const std::vector<std::string>& lines);

 private:
  bool mInPlace;
  size_t mShown = 0;  // lines drawn last time, to move back over them
};
