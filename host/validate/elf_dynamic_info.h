// What an ELF64 shared object shows the dynamic linker: the symbols its code
// defines for others (global or weak, in .dynsym), the ones the linker added
// by itself, and the libraries it needs (DT_NEEDED). Read from the file's
// bytes; nothing is loaded.
//
// Thread-safety: plain functions.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vhost::validate {

struct CElfDynamicInfo {
  std::vector<std::string> mExports;  // defined global or weak dynamic symbols of the file's own code
  // Defined dynamic symbols that the linker makes for every file (the ends of
  // the data and bss segments, the .init/.fini entries) when no version
  // script hides them: not something the plug-in's code exported.
  std::vector<std::string> mLinkerDefined;
  std::vector<std::string> mNeeded;   // DT_NEEDED names, in file order
};

// Nothing, with a reason in `error`, when the file is not a readable ELF64
// shared object.
std::optional<CElfDynamicInfo> ReadElfDynamicInfo(const std::string& path, std::string& error);

// True for the libraries a plug-in may link: the C and C++ runtimes, maths,
// threads, sockets (part of the C runtime here), the dynamic loader, GL and
// GLU, and the sanitizer runtimes of an instrumented build.
bool IsAllowedLibrary(const std::string& soname);

}  // namespace vhost::validate
