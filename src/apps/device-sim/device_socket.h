// The simulated device's socket: bound to the discovery port with address reuse (so that several
// simulators and a discoverer can share a namespace), joined to the group on every interface,
// non-blocking, reporting each datagram's arriving interface.
#pragma once

#include <string>
#include <vector>

#include "platform.h"

struct DeviceSocket {
  SOCKET sock = INVALID_SOCKET;
  std::vector<in_addr> interfaces;  // the addresses it joined on
};

// False with `error` set (the reason, for the user) when it cannot bind or join.
bool open_device_socket(DeviceSocket& device, std::string& error);
