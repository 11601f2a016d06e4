#include <dlfcn.h>

#include "host/plugin_library.h"

namespace vhost {

std::unique_ptr<CPluginLibrary> CPluginLibrary::Open(const std::string& path, std::string& error) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    error = why != nullptr ? why : "dlopen failed";
    return nullptr;
  }
  return std::unique_ptr<CPluginLibrary>(new CPluginLibrary(handle));
}

CPluginLibrary::~CPluginLibrary() { dlclose(mHandle); }

void* CPluginLibrary::Symbol(const char* name) const {
  dlerror();
  return dlsym(mHandle, name);
}

}  // namespace vhost
