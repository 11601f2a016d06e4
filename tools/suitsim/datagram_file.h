// Recorded datagram files: what `suitsim record` writes and `suitsim replay`
// reads. A capture keeps every datagram exactly as it arrived, with its
// arrival time, so a session with a real suit can be played back later.
//
// Format, version 1. All integers little-endian.
//
//   File header, 16 bytes:
//     0   8 bytes  magic "SUITDGRM"
//     8   u32      format version, 1
//     12  u32      reserved, 0 (a reader ignores it)
//   Then records, one per datagram, until the end of the file:
//     0   u64      arrival time in nanoseconds since the capture started
//                  (a steady clock; never decreases from one record to the next;
//                  at most 2^63 - 1, about 292 years)
//     8   u32      length in bytes, 0 to 65535
//     12  length bytes, the datagram as received
//
// A file ends after its last whole record. A record cut short by the end of
// the file (a capture that was killed mid-write) is reported as truncated;
// the records before it stay usable. A reader refuses another magic, a version
// it does not know, a length above 65535 and a time above 2^63 - 1 (a signed
// 64-bit count of nanoseconds, what a clock's duration holds).
//
// Thread-safety: a writer or reader object is used by one thread at a time.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

inline constexpr char kDatagramFileMagic[8] = {'S', 'U', 'I', 'T', 'D', 'G', 'R', 'M'};
inline constexpr uint32_t kDatagramFileVersion = 1;
inline constexpr size_t kDatagramFileHeaderBytes = 16;
inline constexpr size_t kDatagramRecordHeaderBytes = 12;
inline constexpr uint32_t kDatagramFileMaxLength = 65535;
inline constexpr uint64_t kDatagramFileMaxNanoseconds = 0x7FFF'FFFF'FFFF'FFFF;

struct RecordedDatagram {
  uint64_t mArrivalNanoseconds = 0;
  std::vector<uint8_t> mBytes;
};

class CDatagramFileWriter {
 public:
  CDatagramFileWriter() = default;
  ~CDatagramFileWriter();
  CDatagramFileWriter(const CDatagramFileWriter&) = delete;
  CDatagramFileWriter& operator=(const CDatagramFileWriter&) = delete;

  // Creates (or truncates) `path` and writes the header. False with
  // GetError() set on failure.
  bool Open(const std::string& path);
  // Appends one record; a length above 65535 is refused.
  bool Write(uint64_t arrivalNanoseconds, const uint8_t* bytes, size_t length);
  // Flushes buffered records to the file.
  bool Flush();
  // Flushes and closes; false when any write failed.
  bool Close();

  const std::string& GetError() const { return mError; }

 private:
  std::FILE* mFile = nullptr;
  bool mFailed = false;
  std::string mError;
};

class CDatagramFileReader {
 public:
  enum class Status { kRecord, kEnd, kTruncated, kError };

  CDatagramFileReader() = default;
  ~CDatagramFileReader();
  CDatagramFileReader(const CDatagramFileReader&) = delete;
  CDatagramFileReader& operator=(const CDatagramFileReader&) = delete;

  // Opens `path` and checks its header. False with GetError() set.
  bool Open(const std::string& path);
  // The same for a file already open (at its start), which the reader then
  // owns and closes; `name` is used in messages.
  bool Open(std::FILE* file, const std::string& name);
  // Reads the next record into `out`.
  Status Next(RecordedDatagram& out);
  // For a reader that never waits on the times (a replay with --fast): a
  // time above kDatagramFileMaxNanoseconds is read as that maximum instead
  // of ending the file with an error.
  void AcceptAnyTime() { mAcceptAnyTime = true; }

  const std::string& GetError() const { return mError; }

 private:
  std::FILE* mFile = nullptr;
  uint64_t mRecords = 0;
  bool mAcceptAnyTime = false;
  std::string mError;
};

// Reads a whole file. False with `error` set when the file cannot be used;
// a truncated last record is dropped and reported in `error` while the call
// still returns true.
bool ReadDatagramFile(const std::string& path, std::vector<RecordedDatagram>& out,
                      std::string& error);
