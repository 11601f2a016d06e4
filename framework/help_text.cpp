#include "framework/help_text.h"

#include <cstring>

#include "framework/host_services.h"

void CopyHelpText(const char* text, char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return;
  std::strncpy(buffer, text != nullptr ? text : "", size);
  buffer[size - 1] = 0;
}

void GetHelpStringFromTable(VorlaneParameters* params, ActorInfo* info, uint8_t kind, uint16_t index,
                            char* buffer, uint32_t size, const char* const* helpStrings,
                            size_t helpCount) {
  const int32_t entry = Host::GetPropertyHelpIndex(params, Host::ActorRef(info), kind, index);
  if (size == 0) return;
  const bool known = entry >= 0 && static_cast<size_t>(entry) < helpCount;
  CopyHelpText(known ? helpStrings[entry] : "", buffer, size);
}
