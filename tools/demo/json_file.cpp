#include "tools/demo/json_file.h"

#include <fstream>

bool WriteJsonFile(const std::string& path, const nlohmann::json& root, std::string* error) {
  std::ofstream out(path);
  out << root.dump(2) << '\n';
  out.close();
  if (!out) {
    if (error != nullptr) *error = "cannot write " + path;
    return false;
  }
  return true;
}
