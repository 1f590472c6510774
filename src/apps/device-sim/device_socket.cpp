#include "device_socket.h"

#include <cstring>

#include "vantrel/protocol.h"

namespace {

int set_int(SOCKET sock, int level, int option, int value) {
  return ::setsockopt(sock, level, option, reinterpret_cast<const char*>(&value), sizeof value);
}

std::string reason(const char* what) {
  return std::string(what) + ": " + std::strerror(platform::last_socket_error());
}

bool bind_port(SOCKET sock, std::string& error) {
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_port = htons(static_cast<unsigned short>(std::stoi(protocol::kService)));
  if (set_int(sock, SOL_SOCKET, SO_REUSEADDR, 1) != 0 ||
      ::bind(sock, reinterpret_cast<const sockaddr*>(&any), sizeof any) != 0) {
    error = reason("cannot bind UDP port 5556");
    return false;
  }
  // Replies to the group stay on the link and never come back to us.
  if (set_int(sock, IPPROTO_IP, IP_MULTICAST_TTL, protocol::kMulticastTtl) != 0 ||
      set_int(sock, IPPROTO_IP, IP_MULTICAST_LOOP, 0) != 0 || platform::enable_arrival_interface(sock) != 0) {
    error = reason("cannot set the multicast options");
    return false;
  }
  // Room for a large burst on its way out.
  set_int(sock, SOL_SOCKET, SO_SNDBUF, 8 * 1024 * 1024);
  return true;
}

bool join_everywhere(DeviceSocket& device, std::string& error) {
  std::vector<platform::Adapter> adapters;
  if (!platform::list_adapters(adapters)) {
    error = "cannot list the network interfaces";
    return false;
  }
  ip_mreq request{};
  ::inet_pton(AF_INET, protocol::kGroupAddress, &request.imr_multiaddr);
  for (const platform::Adapter& adapter : adapters) {
    if (adapter.ipv4 == "0.0.0.0") continue;
    ::inet_pton(AF_INET, adapter.ipv4.c_str(), &request.imr_interface);
    if (platform::add_membership(device.sock, request) != 0) {
      error = reason(("cannot join 224.0.0.120 on " + adapter.name).c_str());
      return false;
    }
    device.interfaces.push_back(request.imr_interface);
  }
  if (device.interfaces.empty()) {
    error = "no network interface with an IPv4 address is up";
    return false;
  }
  return true;
}

}  // namespace

bool open_device_socket(DeviceSocket& device, std::string& error) {
  device.sock = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (device.sock == INVALID_SOCKET) {
    error = reason("cannot create a UDP socket");
    return false;
  }
  if (bind_port(device.sock, error) && join_everywhere(device, error)) return true;
  platform::close_socket(device.sock);
  device.sock = INVALID_SOCKET;
  return false;
}
