#include "tests/framework/macho_file.h"

#include <cstring>
#include <functional>
#include <set>
#include <stdexcept>

#include "tests/framework/sha256.h"

namespace {

constexpr uint32_t kFatMagic = 0xCAFEBABE;      // big-endian on disk
constexpr uint32_t kMachMagic64 = 0xFEEDFACF;   // little-endian on disk
constexpr size_t kMachHeader64Size = 32;
constexpr uint32_t kLcReqDyld = 0x80000000;
constexpr uint32_t kLcSymtab = 0x2;
constexpr uint32_t kLcLoadDylib = 0xC;
constexpr uint32_t kLcCodeSignature = 0x1D;
constexpr uint32_t kLcLazyLoadDylib = 0x20;
constexpr uint32_t kLcDyldInfo = 0x22;
constexpr uint32_t kLcVersionMinMacosx = 0x24;
constexpr uint32_t kLcBuildVersion = 0x32;
constexpr uint32_t kLcLoadWeakDylib = 0x18 | kLcReqDyld;
constexpr uint32_t kLcReexportDylib = 0x1F | kLcReqDyld;
constexpr uint32_t kLcLoadUpwardDylib = 0x23 | kLcReqDyld;
constexpr uint32_t kLcMain = 0x28 | kLcReqDyld;
constexpr uint32_t kLcDyldExportsTrie = 0x33 | kLcReqDyld;
constexpr uint32_t kBlobSuperBlob = 0xFADE0CC0;
constexpr uint32_t kBlobCodeDirectory = 0xFADE0C02;
constexpr uint32_t kCodeDirectoryAdhoc = 0x2;
constexpr uint8_t kHashSha256 = 2;

// Bounds-checked reads of one byte range; every failure names the file.
class CBytes {
 public:
  CBytes(const uint8_t* data, size_t size, const std::string& name) : mData(data), mSize(size), mName(name) {}

  size_t Size() const { return mSize; }
  const uint8_t* At(size_t offset, size_t count) const {
    if (offset > mSize || count > mSize - offset) Fail("reads past the end of the data");
    return mData + offset;
  }
  uint32_t Le32(size_t offset) const {
    const uint8_t* p = At(offset, 4);
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
  }
  uint32_t Be32(size_t offset) const {
    const uint8_t* p = At(offset, 4);
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | uint32_t{p[3]};
  }
  uint8_t Byte(size_t offset) const { return *At(offset, 1); }
  std::string CString(size_t offset, size_t limit) const {
    std::string text;
    for (size_t at = offset; at < limit; ++at) {
      const char c = static_cast<char>(Byte(at));
      if (c == 0) return text;
      text.push_back(c);
    }
    Fail("a name runs past its command or table");
  }
  uint64_t Uleb(size_t* offset, size_t limit) const {
    uint64_t value = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      if (*offset >= limit) Fail("a number runs past the export trie");
      const uint8_t byte = Byte((*offset)++);
      value |= uint64_t{byte & 0x7Fu} << shift;
      if ((byte & 0x80) == 0) return value;
    }
    Fail("a number in the export trie is too long");
  }
  [[noreturn]] void Fail(const std::string& why) const { throw std::runtime_error(mName + ": " + why); }

 private:
  const uint8_t* mData;
  size_t mSize;
  std::string mName;
};

// Walks the export trie from its root; a node reached twice or a child
// outside the trie ends the reading with an error instead of a loop.
std::vector<std::string> ReadExportTrie(const CBytes& bytes, size_t start, size_t size) {
  bytes.At(start, size);
  std::vector<std::string> names;
  std::set<size_t> visited;
  const size_t end = start + size;
  std::function<void(size_t, const std::string&)> visit = [&](size_t node, const std::string& prefix) {
    if (node >= end) bytes.Fail("an export trie node lies outside the trie");
    if (!visited.insert(node).second) bytes.Fail("the export trie has a loop");
    size_t at = node;
    const uint64_t terminal = bytes.Uleb(&at, end);
    if (terminal > end - at) bytes.Fail("an export trie entry runs past the trie");
    if (terminal != 0) names.push_back(prefix);
    at += terminal;
    if (at >= end) bytes.Fail("an export trie node has no child count");
    const uint8_t children = bytes.Byte(at++);
    for (uint8_t i = 0; i < children; ++i) {
      const std::string edge = bytes.CString(at, end);
      at += edge.size() + 1;
      const uint64_t child = bytes.Uleb(&at, end);
      if (child >= size) bytes.Fail("an export trie edge points outside the trie");
      visit(start + child, prefix + edge);
    }
  };
  if (size != 0) visit(start, "");
  return names;
}

// Reads the code directory of the signature and compares its page hashes
// with the bytes they cover.
void ReadSignature(const CBytes& bytes, size_t start, size_t size, CMachSlice& slice) {
  const CBytes blob(bytes.At(start, size), size, "code signature");
  auto problem = [&](const std::string& why) { slice.mSignatureProblem = why; };
  try {
    if (blob.Be32(0) != kBlobSuperBlob) return problem("no signature super blob");
    const uint32_t count = blob.Be32(8);
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t offset = blob.Be32(12 + 8 * size_t{i} + 4);
      if (blob.Be32(offset) != kBlobCodeDirectory) continue;
      slice.mAdhocSignature = (blob.Be32(offset + 12) & kCodeDirectoryAdhoc) != 0;
      const uint32_t hashOffset = blob.Be32(offset + 16);
      const uint32_t codeSlots = blob.Be32(offset + 28);
      const uint32_t codeLimit = blob.Be32(offset + 32);
      const uint8_t hashSize = blob.Byte(offset + 36);
      const uint8_t hashType = blob.Byte(offset + 37);
      const uint8_t pageShift = blob.Byte(offset + 39);
      if (hashType != kHashSha256 || hashSize != 32) return problem("page hashes are not SHA-256");
      if (pageShift == 0 || pageShift > 16) return problem("page size out of range");
      if (codeLimit != start) return problem("the signature does not cover exactly the bytes before it");
      const size_t page = size_t{1} << pageShift;
      if ((size_t{codeLimit} + page - 1) / page != codeSlots) return problem("wrong number of page hashes");
      for (uint32_t p = 0; p < codeSlots; ++p) {
        const size_t from = size_t{p} * page;
        const size_t length = std::min(page, size_t{codeLimit} - from);
        const auto digest = Sha256(bytes.At(from, length), length);
        if (std::memcmp(digest.data(), blob.At(offset + hashOffset + size_t{p} * 32, 32), 32) != 0)
          return problem("page " + std::to_string(p) + " does not match its hash");
      }
      slice.mSignatureMatches = true;
      return;
    }
    problem("no code directory");
  } catch (const std::runtime_error& error) {
    problem(error.what());
  }
}

CMachSlice ReadSlice(const CBytes& bytes, size_t offset, size_t size) {
  CMachSlice slice;
  slice.mOffset = offset;
  slice.mSize = size;
  const CBytes image(bytes.At(offset, size), size, "slice at " + std::to_string(offset));
  if (image.Le32(0) != kMachMagic64) image.Fail("not a 64-bit Mach-O image");
  slice.mCpuType = image.Le32(4);
  slice.mFileType = image.Le32(12);
  const uint32_t commands = image.Le32(16);
  const size_t commandsEnd = kMachHeader64Size + image.Le32(20);
  image.At(kMachHeader64Size, commandsEnd - kMachHeader64Size);
  size_t at = kMachHeader64Size;
  for (uint32_t i = 0; i < commands; ++i) {
    const uint32_t cmd = image.Le32(at);
    const uint32_t cmdSize = image.Le32(at + 4);
    if (cmdSize < 8 || cmdSize > commandsEnd - at) image.Fail("a load command runs past the commands");
    const size_t end = at + cmdSize;
    switch (cmd) {
      case kLcBuildVersion:
        slice.mPlatform = image.Le32(at + 8);
        slice.mMinimumOs = image.Le32(at + 12);
        break;
      case kLcVersionMinMacosx:
        slice.mPlatform = kMachPlatformMacos;
        slice.mMinimumOs = image.Le32(at + 8);
        break;
      case kLcLoadDylib:
      case kLcLoadWeakDylib:
      case kLcReexportDylib:
      case kLcLazyLoadDylib:
      case kLcLoadUpwardDylib:
        slice.mLibraries.push_back(image.CString(at + image.Le32(at + 8), end));
        break;
      case kLcDyldInfo:
      case kLcDyldInfo | kLcReqDyld:
        for (const std::string& name : ReadExportTrie(image, image.Le32(at + 40), image.Le32(at + 44)))
          slice.mExports.push_back(name);
        break;
      case kLcDyldExportsTrie:
        for (const std::string& name : ReadExportTrie(image, image.Le32(at + 8), image.Le32(at + 12)))
          slice.mExports.push_back(name);
        break;
      case kLcSymtab: {
        const size_t symbols = image.Le32(at + 8);
        const size_t count = image.Le32(at + 12);
        const size_t strings = image.Le32(at + 16);
        const size_t stringsSize = image.Le32(at + 20);
        image.At(symbols, count * 16);
        image.At(strings, stringsSize);
        for (size_t s = 0; s < count; ++s) {
          const size_t entry = symbols + s * 16;
          const uint8_t type = image.Byte(entry + 4);
          const bool debug = (type & 0xE0) != 0;
          const bool external = (type & 0x01) != 0;
          const bool defined = (type & 0x0E) != 0;
          if (debug || !external || !defined) continue;
          const uint32_t name = image.Le32(entry);
          if (name >= stringsSize) image.Fail("a symbol name lies outside the string table");
          slice.mExternalSymbols.push_back(image.CString(strings + name, strings + stringsSize));
        }
        break;
      }
      case kLcMain:
        slice.mHasEntryPoint = true;
        break;
      case kLcCodeSignature:
        slice.mHasCodeSignature = true;
        ReadSignature(image, image.Le32(at + 8), image.Le32(at + 12), slice);
        break;
      default:
        break;
    }
    at = end;
  }
  return slice;
}

}  // namespace

CMachFile ReadMachFile(const std::vector<uint8_t>& data, const std::string& name) {
  const CBytes bytes(data.data(), data.size(), name);
  CMachFile file;
  if (bytes.Be32(0) == kFatMagic) {
    file.mUniversal = true;
    const uint32_t count = bytes.Be32(4);
    if (count == 0 || count > 16) bytes.Fail("a universal file with " + std::to_string(count) + " slices");
    for (uint32_t i = 0; i < count; ++i) {
      const size_t entry = 8 + 20 * size_t{i};
      file.mFatCpuTypes.push_back(bytes.Be32(entry));
      file.mSlices.push_back(ReadSlice(bytes, bytes.Be32(entry + 8), bytes.Be32(entry + 12)));
    }
  } else {
    file.mSlices.push_back(ReadSlice(bytes, 0, bytes.Size()));
  }
  return file;
}
