// Joint names with an index, as matched against each other when the body
// point map is built: the skeleton's points (index = point index) and the
// pieces of the user's selection (index = position of the piece).
//
// Plain value types; not thread-safe, each list belongs to one rebuild.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct label {
  std::string text;  // compared byte for byte; may be empty
  int32_t index;
};

class label_list {
 public:
  using const_iterator = std::vector<label>::const_iterator;

  void reserve(size_t count) { mLabels.reserve(count); }
  void append(std::string_view text, int32_t index);

  // Finds the first label whose text equals `name` exactly (same length, same
  // bytes, case and blanks significant). If there is one, stores its index in
  // `index`, removes it (the rest keep their order) and returns true;
  // otherwise returns false and leaves `index` alone.
  bool remove_match_and_get_index(std::string_view name, int& index);

  size_t size() const { return mLabels.size(); }
  bool empty() const { return mLabels.empty(); }
  const label& operator[](size_t i) const { return mLabels[i]; }
  const_iterator begin() const { return mLabels.begin(); }
  const_iterator end() const { return mLabels.end(); }

 private:
  std::vector<label> mLabels;
};
