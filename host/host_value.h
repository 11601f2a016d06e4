// A Value record (16 bytes: u16 tag at 0, 8-byte payload at 8) held by the
// host, with the host's own copy of any string it carries.
//
// Strings are deep-copied into a host string (characters 8 bytes in) that
// this object owns, so a value taken from a plug-in stays valid after the
// plug-in releases its own. A raw value (FromRaw) is kept bit for bit, its
// payload not interpreted and not owned: that is how tests inject anything.
//
// Record() hands out a pointer to the 16 bytes; it stays valid as long as
// the object lives and is not assigned to.
//
// Thread-safety: none; a plain value type.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "host/plugin_abi.h"

namespace vhost {

class CHostValue {
 public:
  CHostValue();  // an integer 0
  CHostValue(const CHostValue& other);
  CHostValue& operator=(const CHostValue& other);
  CHostValue(CHostValue&&) noexcept;
  CHostValue& operator=(CHostValue&&) noexcept;
  ~CHostValue();

  static CHostValue Integer(int64_t value);
  static CHostValue Float(double value);
  static CHostValue Data(const void* pointer);
  static CHostValue String(std::string_view text);  // owned host string
  static CHostValue NullString();                   // tag 6, null pointer
  // Exactly these bits; the payload is neither interpreted nor owned.
  static CHostValue FromRaw(uint16_t type, uint64_t payload);
  // A copy of a plug-in's record: strings are copied into an owned host
  // string; a null `record` gives an integer 0.
  static CHostValue CopyOf(const Value* record);

  uint16_t Type() const;
  uint64_t Payload() const;
  int64_t AsInteger() const { return static_cast<int64_t>(Payload()); }
  double AsFloat() const;
  void* AsPointer() const;
  // The characters of a string value (owned or not); empty when not a string
  // or a null string.
  std::optional<std::string> Text() const;
  bool OwnsString() const { return mString != nullptr; }

  Value* Record() { return reinterpret_cast<Value*>(mBytes.data()); }
  const Value* Record() const { return reinterpret_cast<const Value*>(mBytes.data()); }

 private:
  void SetBits(uint16_t type, uint64_t payload);
  void AdoptString(std::string_view text);

  alignas(8) std::array<unsigned char, 16> mBytes{};
  std::unique_ptr<char[]> mString;  // host string: 8-byte header, then the characters
};

// The characters of a host string pointed to by a string Value's payload.
std::optional<std::string> HostStringText(const void* hostString);

}  // namespace vhost
