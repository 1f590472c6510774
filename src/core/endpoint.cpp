#include "vantrel/endpoint.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "vantrel/diagnostics.h"
#include "vantrel/protocol.h"
#include "vantrel/resolve.h"

namespace {

using diag::Stream;

int set_int_option(SOCKET sock, int level, int option, int value) {
  return ::setsockopt(sock, level, option, reinterpret_cast<const char*>(&value), sizeof value);
}

// A setter's failure line on the error stream; the error stays readable for the caller afterwards.
void report_failure(const char* setter, const char* call) {
  const int error = platform::last_socket_error();
  diag::print(Stream::err, "%s: %s() failed with error code %d\n", setter, call, error);
  platform::set_last_socket_error(error);
}

// Everything after the socket exists; the first failing step (its line printed), if any.
std::optional<SetupStep> configure_and_bind(SOCKET sock, const addrinfo* bind_address) {
  if (set_reuseaddr(sock, 1) == SOCKET_ERROR) return SetupStep::address_reuse;
  if (set_non_blocking(sock, 1) == SOCKET_ERROR) return SetupStep::non_blocking;
  if (::bind(sock, bind_address->ai_addr, static_cast<socklen_t>(bind_address->ai_addrlen)) == SOCKET_ERROR) {
    const int error = platform::last_socket_error();
    diag::print(Stream::out, "bind() failed with error code %d\n", error);
    platform::set_last_socket_error(error);
    return SetupStep::bind;
  }
  {
    diag::LineGuard line;
    diag::print(Stream::out, "Binding to ");
    PrintAddress(bind_address->ai_addr, static_cast<int>(bind_address->ai_addrlen));
    diag::print(Stream::out, "\n");
  }
  if (set_multicast_ttl(sock, protocol::kMulticastTtl) == SOCKET_ERROR) return SetupStep::ttl;
  if (set_multicast_loopback(sock, protocol::kMulticastLoopback) == SOCKET_ERROR) return SetupStep::loopback;
  return std::nullopt;
}

// Records the failing step and its error, which stays readable for the caller too.
SOCKET failed(SetupFailure* failure, SetupStep step, int error) {
  if (failure != nullptr) *failure = failure_of(step, error);
  platform::set_last_socket_error(error);
  return INVALID_SOCKET;
}

}  // namespace

SOCKET initialize_socket(const char* service, SetupFailure* failure) {
  if (const int error = platform::socket_library_start(); error != 0) {
    diag::print(Stream::out, "WSAStartup failed\n");
    return failed(failure, SetupStep::socket_library, error);
  }
  addrinfo* bind_address = ResolveAddress("0.0.0.0", service, AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (bind_address == nullptr) {
    const int error = platform::last_socket_error();
    diag::print(Stream::err, "Unable to convert bind address: Error %d\n", error);
    return failed(failure, SetupStep::bind_address, error);
  }
  SOCKET sock = ::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (sock == INVALID_SOCKET) {
    const int error = platform::last_socket_error();
    diag::print(Stream::out, "socket() failed with with error code %d\n", error);
    freeaddrinfo(bind_address);
    return failed(failure, SetupStep::socket, error);
  }
  diag::print(Stream::out, "socket handle = 0x%llu\n", static_cast<unsigned long long>(sock));
  const std::optional<SetupStep> failed_step = configure_and_bind(sock, bind_address);
  freeaddrinfo(bind_address);
  if (failed_step) {
    const int error = platform::last_socket_error();
    platform::close_socket(sock);  // the caller never sees it, so it must not outlive this call
    return failed(failure, *failed_step, error);
  }
  return sock;
}

int set_reuseaddr(SOCKET sock, int value) {
  if (set_int_option(sock, SOL_SOCKET, SO_REUSEADDR, value) == SOCKET_ERROR) {
    report_failure("set_reuseaddr", "setsockopt");
    return SOCKET_ERROR;
  }
  diag::print(Stream::out, "Setting multicast reuseaddr to: %d\n", value);
  return 0;
}

int set_non_blocking(SOCKET sock, unsigned int value) {
  if (platform::set_non_blocking(sock, value) == SOCKET_ERROR) {
    report_failure("set_non_blocking", "ioctlsocket");
    return SOCKET_ERROR;
  }
  diag::print(Stream::out, "Setting multicast non blocking to: %u\n", value);
  return 0;
}

int set_multicast_ttl(SOCKET sock, int value) {
  if (set_int_option(sock, IPPROTO_IP, IP_MULTICAST_TTL, value) == SOCKET_ERROR) {
    report_failure("set_multicast_ttl", "setsockopt");
    return SOCKET_ERROR;
  }
  diag::print(Stream::out, "Set multicast ttl to: %d\n", value);
  return 0;
}

int set_multicast_loopback(SOCKET sock, int value) {
  if (set_int_option(sock, IPPROTO_IP, IP_MULTICAST_LOOP, value) == SOCKET_ERROR) {
    report_failure("set_multicast_loopback", "setsockopt");
    return SOCKET_ERROR;
  }
  diag::print(Stream::out, "Setting multicast loopback to: %d\n", value);
  return 0;
}

int enlarge_receive_buffer(SOCKET sock, int wanted_bytes) {
  // As much as an unprivileged program may have, when the system allows more than is wanted. Never
  // SO_RCVBUFFORCE: it needs a privilege that users do not run with. The system doubles what is asked.
  const int allowed = std::min(platform::largest_receive_buffer(), std::numeric_limits<int>::max() / 2);
  const int asked = std::max(wanted_bytes, allowed);
  int granted = 0;
  socklen_t length = sizeof granted;
  if (set_int_option(sock, SOL_SOCKET, SO_RCVBUF, asked) == SOCKET_ERROR ||
      ::getsockopt(sock, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&granted), &length) == SOCKET_ERROR) {
    return -1;
  }
  return granted;
}
