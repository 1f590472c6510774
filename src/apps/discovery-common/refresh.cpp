#include "refresh.h"

#include "app_state.h"
#include "device_lines.h"
#include "vantrel/diagnostics.h"
#include "vantrel/interfaces.h"
#include "vantrel/protocol.h"

namespace {
constexpr int kContinue = -4;
}

int btn_exit_cb() {
  clear_device_lines();
  SOCKET sock = INVALID_SOCKET;
  addrinfo* group = nullptr;
  {
    std::lock_guard lock(endpoint_mutex);
    sock = s;
    group = resmulti;
  }
  // resmulti is released only by the shutdown, on this same thread, so it stays valid for the walk.
  if (sock == INVALID_SOCKET || group == nullptr) {
    diag::print(diag::Stream::err, "Refresh: discovery socket or group address not set up; no probe sent\n");
    return kContinue;
  }
  do_for_each_interface(sock, group, protocol::kService, send_to_interface);
  return kContinue;
}
