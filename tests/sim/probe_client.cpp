#include "probe_client.h"

#include <atomic>
#include <mutex>
#include <optional>
#include <thread>

#include "diag_capture.h"
#include "netbed.h"
#include "vantrel/device_list.h"
#include "vantrel/discovery_endpoint.h"
#include "vantrel/protocol.h"
#include "vantrel/receiver.h"

namespace simtest {
namespace {

using Clock = std::chrono::steady_clock;

struct Collected {
  std::mutex mutex;
  DeviceList list;
  std::size_t replies = 0;
};

// Waits until the run's time is up, or `settle` after the expected number of lines showed up.
void wait_for_lines(Collected& collected, const ProbeRun& run) {
  const auto deadline = Clock::now() + run.listen;
  std::optional<Clock::time_point> complete_at;
  while (Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    std::lock_guard lock(collected.mutex);
    if (run.expect == 0 || collected.list.size() < run.expect) continue;
    if (!complete_at) complete_at = Clock::now();
    if (Clock::now() - *complete_at >= run.settle) return;
  }
}

void listen_and_probe(DiscoveryEndpoint& endpoint, const ProbeRun& run, Collected& collected) {
  const SOCKET sock = endpoint.socket();
  SOCKET wake[2] = {INVALID_SOCKET, INVALID_SOCKET};
  platform::open_wake_pair(wake);
  std::atomic<bool> stop{false};
  std::vector<char> buffer(protocol::kMaxReplySize);
  std::thread receiver([&] {
    receive_replies(
        sock, buffer.data(), stop,
        [&](SightingBatch&& batch) {
          std::lock_guard lock(collected.mutex);
          for (const Sighting& sighting : batch) {
            ++collected.replies;
            collected.list.add(sighting.line);
          }
        },
        ReceiveLimits{1000, wake[0], 256});
  });
  for (int round = 0; round < run.rounds; ++round) {
    std::vector<platform::Adapter> interfaces;
    addressed_interfaces(interfaces);
    endpoint.probe(interfaces);
  }
  wait_for_lines(collected, run);
  stop = true;
  platform::send_wake(wake[1]);
  receiver.join();
  platform::close_socket(wake[0]);
  platform::close_socket(wake[1]);
}

}  // namespace

ProbeResult probe(const std::string& ns, const ProbeRun& run) {
  ProbeResult result;
  testbed::InsideNamespace inside(ns);
  if (!inside.ok()) return result;
  DiagCapture diagnostics;
  DiscoveryEndpoint endpoint;
  result.opened = !endpoint.open();
  if (result.opened) {
    std::vector<platform::Adapter> interfaces;
    addressed_interfaces(interfaces);
    endpoint.join(interfaces);
    Collected collected;
    listen_and_probe(endpoint, run, collected);
    result.lines = collected.list.lines();
    result.replies = collected.replies;
  }
  endpoint.close();
  result.diagnostics = diagnostics.out() + diagnostics.err();
  return result;
}

}  // namespace simtest
