#include "suit_receiver/motiwear_message.h"

#include <limits>
#include <memory>

std::vector<CMotiWearMessage*> CMotiWearMessage::ReadMotiWearMessages(const uint8_t* buffer,
                                                                      uint64_t length) {
  // A length that does not fit 32 bits must not wrap onto a frame size.
  const auto length32 = length > std::numeric_limits<uint32_t>::max()
                            ? std::numeric_limits<uint32_t>::max()
                            : static_cast<uint32_t>(length);
  std::vector<CMotiWearMessage*> messages;
  messages.reserve(1);
  auto data = std::make_unique<CMotiWearData>(buffer, length32);
  auto* message = new CMotiWearMessage;
  message->mData = data.release();
  messages.push_back(message);
  return messages;
}

void CMotiWearMessage::Release() {
  // The last holder must see every other holder's writes before it deletes.
  if (mRefCount.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
}

CMotiWearMessage::~CMotiWearMessage() { delete mData; }
