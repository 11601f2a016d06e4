#include "tools/demo/live_view.h"

void CLiveView::Show(const std::vector<std::string>& lines) {
  std::string text;
  if (mInPlace && mShown > 0) text += "\x1b[" + std::to_string(mShown) + "F";
  for (const std::string& line : lines) {
    text += line;
    if (mInPlace) text += "\x1b[K";  // clear what a longer earlier line left
    text += '\n';
  }
  if (mInPlace) text += "\x1b[J";
  if (!mInPlace) text += '\n';
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  mShown = lines.size();
}
