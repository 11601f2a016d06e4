#include "host/validate/elf_dynamic_info.h"

#include <elf.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace vhost::validate {
namespace {

template <class T>
bool ReadAt(const std::vector<char>& bytes, uint64_t offset, T& out) {
  if (offset > bytes.size() || bytes.size() - offset < sizeof(T)) return false;
  std::memcpy(&out, bytes.data() + offset, sizeof(T));
  return true;
}

std::string StringAt(const std::vector<char>& bytes, const Elf64_Shdr& table, uint64_t index) {
  if (index >= table.sh_size || table.sh_offset + index >= bytes.size()) return {};
  const char* begin = bytes.data() + table.sh_offset + index;
  const size_t room = std::min<uint64_t>(table.sh_size - index, bytes.size() - table.sh_offset - index);
  return std::string(begin, strnlen(begin, room));
}

// A symbol the linker itself defines: a segment boundary (_edata, _end,
// __bss_start and their older spellings) has no type, and _init/_fini are
// the entries of the .init/.fini sections. A function of the plug-in's own
// that happens to carry one of these names is still an export.
bool IsLinkerDefined(const std::string& name, const Elf64_Sym& sym, const std::string& sectionName) {
  static const char* const kBoundaries[] = {"_edata", "_end", "__bss_start", "__bss_start__", "_bss_end__",
                                            "__bss_end__", "__end__", "_etext", "edata", "end", "etext"};
  const int type = ELF64_ST_TYPE(sym.st_info);
  if (name == "_init" || name == "_fini") return sectionName == (name == "_init" ? ".init" : ".fini");
  if (type != STT_NOTYPE) return false;
  for (const char* boundary : kBoundaries) {
    if (name == boundary) return true;
  }
  return false;
}

}  // namespace

std::optional<CElfDynamicInfo> ReadElfDynamicInfo(const std::string& path, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error = "cannot open " + path;
    return std::nullopt;
  }
  const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  Elf64_Ehdr header;
  if (!ReadAt(bytes, 0, header) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
      header.e_ident[EI_CLASS] != ELFCLASS64) {
    error = "not an ELF64 file";
    return std::nullopt;
  }
  if (header.e_type != ET_DYN) {
    error = "not a shared object";
    return std::nullopt;
  }
  std::vector<Elf64_Shdr> sections(header.e_shnum);
  for (size_t i = 0; i < sections.size(); ++i) {
    if (!ReadAt(bytes, header.e_shoff + i * header.e_shentsize, sections[i])) {
      error = "section headers out of the file";
      return std::nullopt;
    }
  }
  const Elf64_Shdr* sectionNames = header.e_shstrndx < sections.size() ? &sections[header.e_shstrndx] : nullptr;
  CElfDynamicInfo info;
  for (const auto& s : sections) {
    if (s.sh_link >= sections.size()) continue;
    const Elf64_Shdr& strings = sections[s.sh_link];
    if (s.sh_type == SHT_DYNSYM) {
      for (uint64_t k = 1; k < s.sh_size / sizeof(Elf64_Sym); ++k) {
        Elf64_Sym sym;
        if (!ReadAt(bytes, s.sh_offset + k * sizeof(Elf64_Sym), sym)) break;
        const int binding = ELF64_ST_BIND(sym.st_info);
        if (sym.st_shndx == SHN_UNDEF || (binding != STB_GLOBAL && binding != STB_WEAK)) continue;
        std::string name = StringAt(bytes, strings, sym.st_name);
        const std::string section = sectionNames != nullptr && sym.st_shndx < sections.size()
                                        ? StringAt(bytes, *sectionNames, sections[sym.st_shndx].sh_name)
                                        : std::string();
        if (IsLinkerDefined(name, sym, section)) info.mLinkerDefined.push_back(std::move(name));
        else info.mExports.push_back(std::move(name));
      }
    } else if (s.sh_type == SHT_DYNAMIC) {
      for (uint64_t k = 0; k < s.sh_size / sizeof(Elf64_Dyn); ++k) {
        Elf64_Dyn dyn;
        if (!ReadAt(bytes, s.sh_offset + k * sizeof(Elf64_Dyn), dyn) || dyn.d_tag == DT_NULL) break;
        if (dyn.d_tag == DT_NEEDED) info.mNeeded.push_back(StringAt(bytes, strings, dyn.d_un.d_val));
      }
    }
  }
  return info;
}

bool IsAllowedLibrary(const std::string& soname) {
  static const char* const kPrefixes[] = {
      "libc.so",     "libm.so",      "libstdc++.so", "libc++.so",    "libc++abi.so", "libgcc_s.so",
      "libpthread.so", "libdl.so",   "librt.so",     "ld-linux",     "libGL.so",     "libGLU.so",
      "libOpenGL.so", "libGLX.so",   "libclang_rt.", "libasan.so",   "libubsan.so",  "libtsan.so"};
  for (const char* prefix : kPrefixes) {
    if (soname.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

}  // namespace vhost::validate
