#include "host/watcher_stream_counters.h"

#include <cstring>

#include "host/actor_instance.h"
#include "host/host.h"

namespace vhost {
namespace {

template <typename T>
T ReadField(const unsigned char* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

}  // namespace

std::optional<CWatcherStreamCounters> ReadWatcherStreamCounters(const void* block, uint64_t blockSize) {
  if (block == nullptr || blockSize < sizeof(CWatcherStreamCounters)) return std::nullopt;
  const auto* tail = static_cast<const unsigned char*>(block) + (blockSize - sizeof(CWatcherStreamCounters));
  if (ReadField<uint32_t>(tail) != CWatcherStreamCounters::kSignature) return std::nullopt;
  if (ReadField<uint32_t>(tail + 4) < CWatcherStreamCounters::kVersion) return std::nullopt;
  // Copied, not pointed at: the block need not be aligned for the record.
  CWatcherStreamCounters counters;
  std::memcpy(&counters, tail, sizeof counters);
  return counters;
}

std::optional<CWatcherStreamCounters> ReadWatcherStreamCounters(const CHost& host,
                                                                const CActorInstance& instance) {
  if (!instance.IsLive()) return std::nullopt;
  const void* block = instance.ActorData();
  const auto size = host.Memory().BlockSize(block);
  if (!size) return std::nullopt;
  return ReadWatcherStreamCounters(block, *size);
}

}  // namespace vhost
