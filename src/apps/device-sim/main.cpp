// vantrel-device-sim: one simulated device, or many, that answers the discovery probe. For tests and
// demos without hardware.
#include <atomic>
#include <csignal>
#include <cstdio>

#include "device_socket.h"
#include "replies.h"
#include "responder.h"
#include "sim_options.h"

namespace {

std::atomic<bool> stop_requested{false};
SOCKET wake_pair[2] = {INVALID_SOCKET, INVALID_SOCKET};

void on_signal(int) {
  stop_requested = true;
  platform::send_wake(wake_pair[1]);
}

int fail(const std::string& error) {
  std::fprintf(stderr, "vantrel-device-sim: %s\n", error.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  SimOptions options;
  std::string error;
  if (!parse_sim_options(argc, argv, options, error)) return fail(error + " (see --help)");
  if (options.help) {
    std::fputs(sim_usage(), stdout);
    return 0;
  }
  if (platform::socket_library_start() != 0) return fail("cannot start the socket library");
  if (!platform::open_wake_pair(wake_pair)) return fail("cannot open the wake-up socket pair");
  std::signal(SIGINT, on_signal);
  std::signal(SIGTERM, on_signal);

  DeviceSocket device;
  if (!open_device_socket(device, error)) return fail(error);
  const Replies replies(options);
  std::fprintf(stderr, "vantrel-device-sim: ready, %ld device(s) on %zu interface(s)\n", options.count,
               device.interfaces.size());
  std::fflush(stderr);
  const int result = run_responder(device, options, replies, stop_requested, wake_pair[0]);
  platform::close_socket(device.sock);
  platform::socket_library_stop();
  return result;
}
