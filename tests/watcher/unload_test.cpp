// The watcher file loaded, used and unloaded again and again, as a host that
// frees a plug-in right after its last instance went does. Its own program:
// a cached load of the same file elsewhere in the process would keep it in
// memory and hide the fault this guards against (receiver-thread code still
// running when the file is gone).
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "host/host.h"
#include "host/plugin.h"
#include "tests/suit_receiver/udp_test_support.h"

namespace {

std::string WatcherPath() {
  const char* dir = std::getenv("VORL_PLUGIN_DIR");
  return std::string(dir != nullptr ? dir : "plugins") + "/kavrin_watcher" + VORL_PLUGIN_SUFFIX;
}

TEST(UnloadingTheWatcher, AfterTheLastDisposeLeavesNoPlugInCodeRunning) {
  constexpr int kRounds = 200;
  for (int round = 0; round < kRounds; ++round) {
    std::unique_ptr<vhost::CPlugin> plugin = vhost::LoadPluginUnshared(WatcherPath());
    {
      vhost::CHost host;
      host.AssertionLog().Switches().mPrintAssertions = false;
      vhost::CActorInstance& watcher = host.AddInstance(*plugin);
      host.Create(watcher);
      const uint16_t port = FindFreeUdpPort();
      host.PresetInput(watcher, host.InputIndex(watcher, "recv_ip_port"),
                       vhost::CHostValue::Integer(port));
      host.Activate(watcher);
      host.Tick();
      // Every other round the receiver gets a datagram to work on.
      if (round % 2 == 0) SendUdp(port, {0x01});
      host.Dispose(watcher);
      ASSERT_TRUE(host.Violations().empty()) << host.Violations().front();
      ASSERT_TRUE(host.Assertions().empty()) << round;
    }
    plugin.reset();  // unloads the file
  }
}

}  // namespace
