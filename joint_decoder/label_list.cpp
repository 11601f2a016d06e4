#include "joint_decoder/label_list.h"

void label_list::append(std::string_view text, int32_t index) {
  mLabels.push_back(label{std::string(text), index});
}

bool label_list::remove_match_and_get_index(std::string_view name, int& index) {
  for (auto it = mLabels.begin(); it != mLabels.end(); ++it) {
    if (it->text == name) {
      index = it->index;
      mLabels.erase(it);
      return true;
    }
  }
  return false;
}
