#include "tools/suitsim/datagram_file.h"

#include <bit>
#include <cerrno>
#include <cstring>

static_assert(std::endian::native == std::endian::little, "the file is little-endian");

namespace {

std::string SystemError(const std::string& what, const std::string& path) {
  return what + " " + path + ": " + std::strerror(errno);
}

}  // namespace

CDatagramFileWriter::~CDatagramFileWriter() { Close(); }

bool CDatagramFileWriter::Open(const std::string& path) {
  Close();
  mFailed = false;
  mError.clear();
  mFile = std::fopen(path.c_str(), "wb");
  if (mFile == nullptr) {
    mError = SystemError("cannot create", path);
    return false;
  }
  uint8_t header[kDatagramFileHeaderBytes] = {};
  std::memcpy(header, kDatagramFileMagic, sizeof(kDatagramFileMagic));
  std::memcpy(header + 8, &kDatagramFileVersion, sizeof(kDatagramFileVersion));
  if (std::fwrite(header, 1, sizeof(header), mFile) != sizeof(header)) {
    mError = SystemError("cannot write", path);
    mFailed = true;
    return false;
  }
  return true;
}

bool CDatagramFileWriter::Write(uint64_t arrivalNanoseconds, const uint8_t* bytes, size_t length) {
  if (mFile == nullptr || mFailed) return false;
  if (length > kDatagramFileMaxLength) {
    mError = "datagram longer than 65535 bytes";
    return false;
  }
  uint8_t header[kDatagramRecordHeaderBytes];
  const auto length32 = static_cast<uint32_t>(length);
  std::memcpy(header, &arrivalNanoseconds, 8);
  std::memcpy(header + 8, &length32, 4);
  if (std::fwrite(header, 1, sizeof(header), mFile) != sizeof(header) ||
      (length > 0 && std::fwrite(bytes, 1, length, mFile) != length)) {
    mError = std::string("write failed: ") + std::strerror(errno);
    mFailed = true;
    return false;
  }
  return true;
}

bool CDatagramFileWriter::Flush() {
  if (mFile == nullptr) return false;
  if (std::fflush(mFile) != 0) {
    mError = std::string("write failed: ") + std::strerror(errno);
    mFailed = true;
  }
  return !mFailed;
}

bool CDatagramFileWriter::Close() {
  if (mFile == nullptr) return !mFailed;
  if (std::fclose(mFile) != 0 && !mFailed) {
    mError = std::string("close failed: ") + std::strerror(errno);
    mFailed = true;
  }
  mFile = nullptr;
  return !mFailed;
}

CDatagramFileReader::~CDatagramFileReader() {
  if (mFile != nullptr) std::fclose(mFile);
}

bool CDatagramFileReader::Open(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) {
    if (mFile != nullptr) std::fclose(mFile);
    mFile = nullptr;
    mError = SystemError("cannot open", path);
    return false;
  }
  return Open(file, path);
}

bool CDatagramFileReader::Open(std::FILE* file, const std::string& name) {
  if (mFile != nullptr) std::fclose(mFile);
  mError.clear();
  mRecords = 0;
  mFile = file;
  if (mFile == nullptr) {
    mError = "cannot open " + name;
    return false;
  }
  uint8_t header[kDatagramFileHeaderBytes];
  if (std::fread(header, 1, sizeof(header), mFile) != sizeof(header) ||
      std::memcmp(header, kDatagramFileMagic, sizeof(kDatagramFileMagic)) != 0) {
    mError = name + ": not a recorded datagram file";
    return false;
  }
  uint32_t version = 0;
  std::memcpy(&version, header + 8, 4);
  if (version != kDatagramFileVersion) {
    mError = name + ": unknown format version " + std::to_string(version);
    return false;
  }
  return true;
}

CDatagramFileReader::Status CDatagramFileReader::Next(RecordedDatagram& out) {
  if (mFile == nullptr || !mError.empty()) return Status::kError;
  uint8_t header[kDatagramRecordHeaderBytes];
  const size_t got = std::fread(header, 1, sizeof(header), mFile);
  if (got == 0 && std::feof(mFile)) return Status::kEnd;
  if (got != sizeof(header)) {
    mError = "last record truncated";
    return Status::kTruncated;
  }
  uint32_t length = 0;
  std::memcpy(&out.mArrivalNanoseconds, header, 8);
  std::memcpy(&length, header + 8, 4);
  ++mRecords;
  if (length > kDatagramFileMaxLength) {
    mError = "record length " + std::to_string(length) + " above 65535";
    return Status::kError;
  }
  if (out.mArrivalNanoseconds > kDatagramFileMaxNanoseconds && mAcceptAnyTime) {
    out.mArrivalNanoseconds = kDatagramFileMaxNanoseconds;
  } else if (out.mArrivalNanoseconds > kDatagramFileMaxNanoseconds) {
    mError = "record " + std::to_string(mRecords) + ": time " +
             std::to_string(out.mArrivalNanoseconds) + " ns above 2^63 - 1";
    return Status::kError;
  }
  out.mBytes.resize(length);
  if (length > 0 && std::fread(out.mBytes.data(), 1, length, mFile) != length) {
    mError = "last record truncated";
    return Status::kTruncated;
  }
  return Status::kRecord;
}

bool ReadDatagramFile(const std::string& path, std::vector<RecordedDatagram>& out,
                      std::string& error) {
  CDatagramFileReader reader;
  if (!reader.Open(path)) {
    error = reader.GetError();
    return false;
  }
  error.clear();
  RecordedDatagram record;
  for (;;) {
    switch (reader.Next(record)) {
      case CDatagramFileReader::Status::kRecord:
        out.push_back(record);
        break;
      case CDatagramFileReader::Status::kEnd:
        return true;
      case CDatagramFileReader::Status::kTruncated:
        error = reader.GetError();
        return true;
      case CDatagramFileReader::Status::kError:
        error = reader.GetError();
        return false;
    }
  }
}
