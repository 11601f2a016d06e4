// Stream health of watchers driven by the stand-in host: the counter record
// read from an instance's data block, frames counted from recv_pkt, the
// silence hint, and the error text.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "host/host.h"
#include "host/stream_health.h"
#include "host/watcher_stream_counters.h"
#include "tests/suit_receiver/udp_test_support.h"
#include "tools/suitsim/suit_frame.h"
#include "tools/suitsim/walking_figure.h"

namespace {

using vhost::CActorInstance;
using vhost::CHostValue;

std::vector<unsigned char> BlockWithRecord(size_t size, uint32_t signature) {
  std::vector<unsigned char> block(size, 0xAB);
  const uint32_t version = 1;
  const uint64_t counts[3] = {7, 8, 9};
  unsigned char* tail = block.data() + size - 32;
  std::memcpy(tail, &signature, 4);
  std::memcpy(tail + 4, &version, 4);
  std::memcpy(tail + 8, counts, sizeof counts);
  return block;
}

TEST(WatcherStreamCounters, ReadOnlyFromARecordAtTheEndOfTheBlock) {
  const auto block = BlockWithRecord(200, CWatcherStreamCounters::kSignature);
  const auto counters = vhost::ReadWatcherStreamCounters(block.data(), block.size());
  ASSERT_TRUE(counters);
  EXPECT_EQ(counters->mFramesAccepted, 7u);
  EXPECT_EQ(counters->mDatagramsRejected, 8u);
  EXPECT_EQ(counters->mMessagesDropped, 9u);

  const auto other = BlockWithRecord(200, 0x12345678);
  EXPECT_FALSE(vhost::ReadWatcherStreamCounters(other.data(), other.size()));
  EXPECT_FALSE(vhost::ReadWatcherStreamCounters(block.data(), 31));
  EXPECT_FALSE(vhost::ReadWatcherStreamCounters(nullptr, 200));
}

class WatcherHealth : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* dir = std::getenv("VORL_PLUGIN_DIR");
    ASSERT_NE(dir, nullptr);
    mPlugin = &vhost::LoadPlugin(std::string(dir) + "/kavrin_watcher" VORL_PLUGIN_SUFFIX);
    mHost.AssertionLog().Switches().mPrintAssertions = false;
  }
  void TearDown() override {
    for (CActorInstance* instance : mHost.Instances())
      if (instance->IsLive()) mHost.Dispose(*instance);
  }
  CActorInstance& Watch(uint16_t port) {
    CActorInstance& instance = mHost.AddInstance(*mPlugin, "w");
    mHost.Create(instance);
    mHost.PresetInput(instance, mHost.InputIndex(instance, "recv_ip_port"), CHostValue::Integer(port));
    mHost.Activate(instance);
    return instance;
  }

  vhost::CHost mHost;
  const vhost::CPlugin* mPlugin = nullptr;
};

TEST_F(WatcherHealth, CountsFramesAndHintsAfterTheSilence) {
  const uint16_t port = FindFreeUdpPort();
  Watch(port);
  vhost::CStreamHealth health(kWatcherStreamProperties, 2.0);
  health.TrackWatchers(mHost, 0.0);
  ASSERT_EQ(health.Watchers().size(), 1u);
  const auto datagram = EncodeSuitFrame(CWalkingFigure(0).FrameAt("E46", 0.0, 1));
  ASSERT_TRUE(WaitUntil([&] {
    SendUdp(port, datagram);
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    mHost.Tick();
    health.Update(mHost, 1.0);
    return health.Watchers()[0].mReceived > 0;
  }));
  const vhost::CWatcherHealth& w = health.Watchers()[0];
  EXPECT_EQ(w.mPort, port);
  EXPECT_EQ(w.mError, "") << w.mError;
  EXPECT_EQ(w.mHint, "");
  EXPECT_EQ(w.mAge, 0.0);
  // The watcher keeps the counter record at the end of its instance data.
  ASSERT_TRUE(w.mCounters);
  EXPECT_GE(w.mCounters->mFramesAccepted, 1u);
  EXPECT_EQ(w.mCounters->mDatagramsRejected, 0u);

  health.Update(mHost, 1.5);
  EXPECT_EQ(health.Watchers()[0].mHint, "");
  health.Update(mHost, 4.2);
  EXPECT_EQ(health.Watchers()[0].mAge, 4.2 - 1.0);
  EXPECT_EQ(health.Watchers()[0].mHint,
            "no data on port " + std::to_string(port) +
                " for 3 s: is the sender running, and is this the port it sends to?");
}

TEST_F(WatcherHealth, ABindFailureShowsAsTheErrorNotAsSilence) {
  const uint16_t port = FindFreeUdpPort();
  const int holder = OccupyUdpPort(port);
  ASSERT_GE(holder, 0);
  Watch(port);
  vhost::CStreamHealth health(kWatcherStreamProperties, 2.0);
  health.TrackWatchers(mHost, 0.0);
  ASSERT_TRUE(WaitUntil([&] {
    mHost.Tick();
    health.Update(mHost, 10.0);
    return !health.Watchers()[0].mError.empty();
  }));
  EXPECT_EQ(health.Watchers()[0].mHint, "");
  EXPECT_NE(health.Watchers()[0].Summary().find("error '"), std::string::npos);
  CloseSocket(holder);
}

}  // namespace
