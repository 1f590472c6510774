#include "device_socket.h"

#include <cstring>

#include "vantrel/protocol.h"

namespace {

int set_int(SOCKET sock, int level, int option, int value) {
  return ::setsockopt(sock, level, option, reinterpret_cast<const char*>(&value), sizeof value);
}

std::string reason(const char* what) {
  return std::string(what) + ": " + platform::error_text(platform::last_socket_error());
}

// Room for a large burst on its way out: beyond the system's cap where we may (root), else up to it.
void enlarge_send_buffer(SOCKET sock) {
  constexpr int kWanted = 16 * 1024 * 1024;
#ifdef SO_SNDBUFFORCE
  if (set_int(sock, SOL_SOCKET, SO_SNDBUFFORCE, kWanted) == 0) return;
#endif
  set_int(sock, SOL_SOCKET, SO_SNDBUF, kWanted);
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
  // Group replies with the discoverer's TTL; loopback off, so that our own replies never reach us (or a
  // discoverer in this namespace, just as on a real device).
  if (set_int(sock, IPPROTO_IP, IP_MULTICAST_TTL, protocol::kMulticastTtl) != 0 ||
      set_int(sock, IPPROTO_IP, IP_MULTICAST_LOOP, 0) != 0 || platform::enable_arrival_interface(sock) != 0) {
    error = reason("cannot set the multicast options");
    return false;
  }
  if (platform::set_non_blocking(sock, 1) != 0) {
    error = reason("cannot make the socket non-blocking");
    return false;
  }
  enlarge_send_buffer(sock);
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
    if (!adapter.has_ipv4()) continue;
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
