// One open shared-library file: a plug-in as the operating system loaded it.
//
// Open binds every symbol at once (dlopen RTLD_NOW | RTLD_LOCAL on POSIX,
// LoadLibraryW on Windows), so a file with a missing dependency is refused
// here rather than failing later in the middle of a call. Destroying the
// object unloads the file (dlclose / FreeLibrary): nothing of the file may
// still run or be referenced then.
//
// The POSIX side is plugin_library_posix.cpp, the Windows side
// plugin_library_windows.cpp; the build compiles one of them.
#pragma once

#include <memory>
#include <string>

namespace vhost {

class CPluginLibrary {
 public:
  // How this platform's plug-in files end.
#if defined(_WIN32)
  static constexpr const char* kFileSuffix = ".dll";
#else
  static constexpr const char* kFileSuffix = ".so";
#endif

  // Null and a one-line reason in `error` on failure.
  static std::unique_ptr<CPluginLibrary> Open(const std::string& path, std::string& error);

  CPluginLibrary(const CPluginLibrary&) = delete;
  CPluginLibrary& operator=(const CPluginLibrary&) = delete;
  ~CPluginLibrary();

  void* Symbol(const char* name) const;  // null when absent

 private:
  explicit CPluginLibrary(void* handle) : mHandle(handle) {}

  void* mHandle;  // dlopen handle or HMODULE
};

}  // namespace vhost
