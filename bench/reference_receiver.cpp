// The reference for the burst benchmark: what this machine can receive. The same socket and options as
// the tool (and the same probe), then a plain receive loop: no decoding, no list, no output per datagram.
//
//   reference_receiver [--default-buffer] [--quiet-ms MS]
// Prints: "received N datagrams, last at T ms after the probe, first at F ms, receive buffer B bytes".
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "vantrel/diagnostics.h"
#include "vantrel/endpoint.h"
#include "vantrel/interfaces.h"
#include "vantrel/protocol.h"
#include "vantrel/resolve.h"

int main(int argc, char** argv) {
  bool raise_buffer = true;
  int quiet_ms = 1000;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--default-buffer") == 0) raise_buffer = false;
    if (std::strcmp(argv[i], "--quiet-ms") == 0 && i + 1 < argc) quiet_ms = std::stoi(argv[++i]);
  }
  diag::set_streams(nullptr, stderr);
  const SOCKET sock = initialize_socket(protocol::kService);
  addrinfo* group =
      ResolveAddress(protocol::kGroupAddress, protocol::kService, AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (sock == INVALID_SOCKET || group == nullptr) return 2;
  const int buffer_size = raise_buffer ? enlarge_receive_buffer(sock, kWantedReceiveBuffer) : [&] {
    int size = 0;
    socklen_t length = sizeof size;
    getsockopt(sock, SOL_SOCKET, SO_RCVBUF, &size, &length);
    return size;
  }();
  do_for_each_interface(sock, group, protocol::kService, join_interface);
  do_for_each_interface(sock, group, protocol::kService, send_to_interface);
  const auto probed = std::chrono::steady_clock::now();

  long received = 0;
  auto first = probed;
  auto last = probed;
  static char buffer[protocol::kMaxReplySize];
  while (platform::wait_readable(sock, quiet_ms) == 1) {
    if (received == 0) first = std::chrono::steady_clock::now();  // outside the receive loop below
    sockaddr_storage from{};
    int fromlen = sizeof from;
    while (platform::receive_datagram(sock, buffer, sizeof buffer, reinterpret_cast<sockaddr*>(&from),
                                      &fromlen) >= 0) {
      ++received;
      fromlen = sizeof from;
    }
    last = std::chrono::steady_clock::now();
  }
  const double last_ms = std::chrono::duration<double, std::milli>(last - probed).count();
  const double first_ms = std::chrono::duration<double, std::milli>(first - probed).count();
  std::printf(
      "received %ld datagrams, last at %.1f ms after the probe, first at %.1f ms, receive buffer %d bytes\n",
      received, last_ms, first_ms, buffer_size);
  freeaddrinfo(group);
  platform::close_socket(sock);
  return 0;
}
