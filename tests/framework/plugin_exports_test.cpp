// Every built plug-in file must export GetActorInfo and nothing else: the
// host looks up one symbol, and anything more leaks our internals into the
// host's process. Read straight from each file's dynamic symbol table.
#include <elf.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// Names of the defined global or weak symbols of an ELF64 shared object.
std::vector<std::string> ExportedSymbols(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (bytes.size() < sizeof(Elf64_Ehdr)) throw std::runtime_error("too short for ELF: " + path.string());
  Elf64_Ehdr header;
  std::memcpy(&header, bytes.data(), sizeof(header));
  if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64)
    throw std::runtime_error("not an ELF64 file: " + path.string());
  auto section = [&](size_t index) {
    Elf64_Shdr s;
    std::memcpy(&s, bytes.data() + header.e_shoff + index * header.e_shentsize, sizeof(s));
    return s;
  };
  std::vector<std::string> names;
  for (size_t i = 0; i < header.e_shnum; ++i) {
    const Elf64_Shdr dynsym = section(i);
    if (dynsym.sh_type != SHT_DYNSYM) continue;
    const Elf64_Shdr strings = section(dynsym.sh_link);
    for (size_t k = 1; k < dynsym.sh_size / sizeof(Elf64_Sym); ++k) {
      Elf64_Sym sym;
      std::memcpy(&sym, bytes.data() + dynsym.sh_offset + k * sizeof(Elf64_Sym), sizeof(sym));
      const int binding = ELF64_ST_BIND(sym.st_info);
      if (sym.st_shndx == SHN_UNDEF || (binding != STB_GLOBAL && binding != STB_WEAK)) continue;
      names.emplace_back(bytes.data() + strings.sh_offset + sym.st_name);
    }
  }
  return names;
}

TEST(PluginExports, EveryPluginExportsGetActorInfoAndNothingElse) {
  const char* dir = std::getenv("VORL_PLUGIN_DIR");
  ASSERT_NE(dir, nullptr);
  int checked = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    if (entry.path().extension() != ".so") continue;
    EXPECT_EQ(ExportedSymbols(entry.path()), std::vector<std::string>{"GetActorInfo"})
        << entry.path();
    ++checked;
  }
  EXPECT_GE(checked, 1);
}

}  // namespace
