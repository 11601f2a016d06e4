#include "host/host_value.h"

#include <cstring>

#include "host/record_layout.h"

namespace vhost {

CHostValue::CHostValue() { SetBits(layout::kTypeInteger, 0); }

CHostValue::CHostValue(const CHostValue& other) : mBytes(other.mBytes) {
  if (other.mString) AdoptString(other.mString.get() + layout::kHostStringText);
}

CHostValue& CHostValue::operator=(const CHostValue& other) {
  if (this != &other) {
    CHostValue copy(other);
    *this = std::move(copy);
  }
  return *this;
}

// The host string lives on the heap, so moving the owner keeps the payload
// pointer valid.
CHostValue::CHostValue(CHostValue&&) noexcept = default;
CHostValue& CHostValue::operator=(CHostValue&&) noexcept = default;
CHostValue::~CHostValue() = default;

CHostValue CHostValue::Integer(int64_t value) {
  CHostValue v;
  v.SetBits(layout::kTypeInteger, static_cast<uint64_t>(value));
  return v;
}

CHostValue CHostValue::Float(double value) {
  uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof(bits));
  CHostValue v;
  v.SetBits(layout::kTypeFloat, bits);
  return v;
}

CHostValue CHostValue::Data(const void* pointer) {
  CHostValue v;
  v.SetBits(layout::kTypeData, reinterpret_cast<uintptr_t>(pointer));
  return v;
}

CHostValue CHostValue::String(std::string_view text) {
  CHostValue v;
  v.AdoptString(text);
  return v;
}

CHostValue CHostValue::NullString() {
  CHostValue v;
  v.SetBits(layout::kTypeString, 0);
  return v;
}

CHostValue CHostValue::FromRaw(uint16_t type, uint64_t payload) {
  CHostValue v;
  v.SetBits(type, payload);
  return v;
}

CHostValue CHostValue::CopyOf(const Value* record) {
  if (record == nullptr) return Integer(0);
  const auto type = layout::ReadAt<uint16_t>(record, layout::kValueType);
  const auto payload = layout::ReadAt<uint64_t>(record, layout::kValuePayload);
  if (type == layout::kTypeString && payload != 0) {
    return String(*HostStringText(reinterpret_cast<const void*>(payload)));
  }
  return FromRaw(type, payload);
}

uint16_t CHostValue::Type() const { return layout::ReadAt<uint16_t>(mBytes.data(), layout::kValueType); }

uint64_t CHostValue::Payload() const {
  return layout::ReadAt<uint64_t>(mBytes.data(), layout::kValuePayload);
}

double CHostValue::AsFloat() const {
  const uint64_t bits = Payload();
  double value = 0.0;
  std::memcpy(&value, &bits, sizeof(value));
  return value;
}

void* CHostValue::AsPointer() const { return reinterpret_cast<void*>(Payload()); }

std::optional<std::string> CHostValue::Text() const {
  if (Type() != layout::kTypeString || Payload() == 0) return std::nullopt;
  return HostStringText(AsPointer());
}

void CHostValue::SetBits(uint16_t type, uint64_t payload) {
  mBytes.fill(0);
  mString.reset();
  layout::WriteAt(mBytes.data(), layout::kValueType, type);
  layout::WriteAt(mBytes.data(), layout::kValuePayload, payload);
}

void CHostValue::AdoptString(std::string_view text) {
  auto storage = std::make_unique<char[]>(layout::kHostStringText + text.size() + 1);
  std::memset(storage.get(), 0, layout::kHostStringText);
  std::memcpy(storage.get() + layout::kHostStringText, text.data(), text.size());
  storage[layout::kHostStringText + text.size()] = 0;
  mBytes.fill(0);
  layout::WriteAt(mBytes.data(), layout::kValueType, layout::kTypeString);
  layout::WriteAt(mBytes.data(), layout::kValuePayload,
                  static_cast<uint64_t>(reinterpret_cast<uintptr_t>(storage.get())));
  mString = std::move(storage);
}

std::optional<std::string> HostStringText(const void* hostString) {
  if (hostString == nullptr) return std::nullopt;
  return std::string(static_cast<const char*>(hostString) + layout::kHostStringText);
}

}  // namespace vhost
