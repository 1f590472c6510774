#include "vantrel/interfaces.h"

#include <mutex>
#include <string>
#include <vector>

#include "vantrel/diagnostics.h"
#include "vantrel/protocol.h"
#include "vantrel/resolve.h"

namespace {

using diag::Stream;

const sockaddr_in& ipv4_of(const addrinfo* info) {
  return *reinterpret_cast<const sockaddr_in*>(info->ai_addr);
}

addrinfo* resolve_interface(const char* ifaddr, const char* service) {
  addrinfo* iface = ResolveAddress(ifaddr, service, AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (iface == nullptr) {
    const int error = platform::last_socket_error();
    diag::print(Stream::err, "Unable to convert interface address '%s': Error %d\n", ifaddr, error);
    platform::set_last_socket_error(error);
  }
  return iface;
}

void print_address_line(const char* lead_in, const addrinfo* address) {
  diag::LineGuard line;
  diag::print(Stream::out, "%s", lead_in);
  PrintAddress(address->ai_addr, static_cast<int>(address->ai_addrlen));
  diag::print(Stream::out, "\n");
}

// Guards the socket's outgoing-interface setting from one "set interface, send" pair to the next, across
// every thread that sends probes.
std::mutex send_pair_mutex;

}  // namespace

void do_for_each_interface(SOCKET sock, addrinfo* group, const char* service, InterfaceAction action) {
  std::vector<platform::Adapter> adapters;
  if (!platform::list_adapters(adapters)) return;
  for (platform::Adapter& adapter : adapters) {
    if (!adapter.has_ipv4()) continue;  // no address: nothing to join or send through
    action(sock, group, adapter.ipv4.data(), service);
  }
}

int join_interface(SOCKET sock, const addrinfo* group, char* ifaddr, const char* service) {
  addrinfo* iface = resolve_interface(ifaddr, service);
  if (iface == nullptr) return -1;
  const int rc = join_multicast_group(sock, group, iface);
  const int error = platform::last_socket_error();
  freeaddrinfo(iface);
  platform::set_last_socket_error(error);
  return rc == SOCKET_ERROR ? -1 : 0;
}

int send_to_interface(SOCKET sock, const addrinfo* group, char* ifaddr, const char* service) {
  addrinfo* iface = resolve_interface(ifaddr, service);
  if (iface == nullptr) return -1;
  int rc = 0;
  {
    std::lock_guard pair(send_pair_mutex);
    if (set_send_interface(sock, iface) == SOCKET_ERROR) {
      rc = -1;
    } else if (::sendto(sock, protocol::kProbe, sizeof protocol::kProbe, 0, group->ai_addr,
                        static_cast<socklen_t>(group->ai_addrlen)) == SOCKET_ERROR) {
      const int error = platform::last_socket_error();
      diag::print(Stream::out, "sendto() failed with error code %d\n", error);
      platform::set_last_socket_error(error);
      rc = -1;
    }
  }
  const int error = platform::last_socket_error();
  freeaddrinfo(iface);
  platform::set_last_socket_error(error);
  return rc;
}

int join_multicast_group(SOCKET sock, const addrinfo* group, const addrinfo* iface) {
  ip_mreq request{};
  request.imr_multiaddr = ipv4_of(group).sin_addr;
  request.imr_interface = ipv4_of(iface).sin_addr;
  if (platform::add_membership(sock, request) == SOCKET_ERROR) {
    const int error = platform::last_socket_error();
    diag::print(Stream::out, "join_multicast_group: setsockopt failed with error code %d\n", error);
    platform::set_last_socket_error(error);  // still the caller's to read
    return SOCKET_ERROR;
  }
  print_address_line("Joined group: ", group);
  return 0;
}

int set_send_interface(SOCKET sock, const addrinfo* iface) {
  const in_addr address = ipv4_of(iface).sin_addr;
  if (::setsockopt(sock, IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&address),
                   sizeof address) == SOCKET_ERROR) {
    const int error = platform::last_socket_error();
    diag::print(Stream::out, "setsockopt() failed with error code %d\n", error);
    platform::set_last_socket_error(error);
    return SOCKET_ERROR;
  }
  print_address_line("Set sending interface to: ", iface);
  return 0;
}
