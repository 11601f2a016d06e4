#include "tests/framework/pe_tables.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace {

constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr size_t kExportDirectory = 0;
constexpr size_t kImportDirectory = 1;
constexpr size_t kDelayImportDirectory = 13;

class CImage {
 public:
  explicit CImage(const std::filesystem::path& path) : mPath(path.string()) {
    std::ifstream file(path, std::ios::binary);
    mBytes.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    if (Read<uint16_t>(0) != 0x5A4D) Fail("no MZ header");
    const uint32_t pe = Read<uint32_t>(0x3C);
    if (Read<uint32_t>(pe) != 0x00004550) Fail("no PE signature");
    const size_t coff = pe + 4;
    const uint16_t sectionCount = Read<uint16_t>(coff + 2);
    const uint16_t optionalSize = Read<uint16_t>(coff + 16);
    mOptional = coff + 20;
    if (Read<uint16_t>(mOptional) != kPe32PlusMagic) Fail("not a 64-bit (PE32+) image");
    mDirectoryCount = Read<uint32_t>(mOptional + 108);
    const size_t sections = mOptional + optionalSize;
    for (uint16_t i = 0; i < sectionCount; ++i) {
      const size_t at = sections + i * 40u;
      mSections.push_back({Read<uint32_t>(at + 12), Read<uint32_t>(at + 8), Read<uint32_t>(at + 16),
                           Read<uint32_t>(at + 20)});
    }
  }

  // The (RVA, size) of data directory `index`; {0, 0} when absent.
  std::pair<uint32_t, uint32_t> Directory(size_t index) const {
    if (index >= mDirectoryCount) return {0, 0};
    const size_t at = mOptional + 112 + index * 8;
    return {Read<uint32_t>(at), Read<uint32_t>(at + 4)};
  }

  template <class T>
  T ReadRva(uint32_t rva) const {
    return Read<T>(Offset(rva));
  }

  std::string StringAt(uint32_t rva) const {
    size_t at = Offset(rva);
    std::string text;
    while (true) {
      const char c = Read<char>(at++);
      if (c == 0) return text;
      text.push_back(c);
    }
  }

  [[noreturn]] void Fail(const std::string& why) const {
    throw std::runtime_error(mPath + ": " + why);
  }

 private:
  struct CSection {
    uint32_t mVirtualAddress, mVirtualSize, mRawSize, mRawOffset;
  };

  size_t Offset(uint32_t rva) const {
    for (const CSection& s : mSections) {
      const uint32_t extent = s.mVirtualSize > s.mRawSize ? s.mVirtualSize : s.mRawSize;
      if (rva >= s.mVirtualAddress && rva - s.mVirtualAddress < extent && rva - s.mVirtualAddress < s.mRawSize)
        return s.mRawOffset + (rva - s.mVirtualAddress);
    }
    Fail("address " + std::to_string(rva) + " lies in no section's file data");
  }

  template <class T>
  T Read(size_t at) const {
    if (at > mBytes.size() || mBytes.size() - at < sizeof(T)) Fail("table runs past the end of the file");
    T value;
    std::memcpy(&value, mBytes.data() + at, sizeof(T));
    return value;
  }

  std::string mPath;
  std::vector<char> mBytes;
  size_t mOptional = 0;
  uint32_t mDirectoryCount = 0;
  std::vector<CSection> mSections;
};

}  // namespace

CPeTables ReadPeTables(const std::filesystem::path& path) {
  const CImage image(path);
  CPeTables tables;

  if (const auto [rva, size] = image.Directory(kExportDirectory); rva != 0 && size != 0) {
    tables.mExportedFunctions = image.ReadRva<uint32_t>(rva + 20);
    const uint32_t nameCount = image.ReadRva<uint32_t>(rva + 24);
    const uint32_t names = image.ReadRva<uint32_t>(rva + 32);
    for (uint32_t i = 0; i < nameCount; ++i)
      tables.mExports.push_back(image.StringAt(image.ReadRva<uint32_t>(names + 4 * i)));
  }
  if (const auto [rva, size] = image.Directory(kImportDirectory); rva != 0 && size != 0) {
    for (uint32_t at = rva;; at += 20) {  // a zeroed descriptor ends the list
      const uint32_t name = image.ReadRva<uint32_t>(at + 12);
      if (name == 0) break;
      tables.mImportedDlls.push_back(image.StringAt(name));
    }
  }
  if (const auto [rva, size] = image.Directory(kDelayImportDirectory); rva != 0 && size != 0) {
    for (uint32_t at = rva;; at += 32) {
      const uint32_t name = image.ReadRva<uint32_t>(at + 4);
      if (name == 0) break;
      tables.mDelayLoadDlls.push_back(image.StringAt(name));
    }
  }
  return tables;
}
