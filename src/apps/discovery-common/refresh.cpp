#include "refresh.h"

#include "app_state.h"
#include "device_lines.h"
#include "interface_walk.h"
#include "status_line.h"
#include "vantrel/diagnostics.h"

namespace {
constexpr int kContinue = -4;
}

int btn_exit_cb() {
  clear_device_lines();
  status_devices_changed(0, 0);
  ProbeWalk walk;
  {
    std::lock_guard lock(endpoint_mutex);
    if (!endpoint.is_open()) {
      diag::print(diag::Stream::err,
                  "Refresh: discovery socket or group address not set up; no probe sent\n");
      return kContinue;
    }
    walk = walk_interfaces();
  }
  list.set_interfaces(walk.host);
  status_after_walk(walk);
  return kContinue;
}
