#include "vantrel/discovery_endpoint.h"

#include <algorithm>
#include <string>

#include "vantrel/diagnostics.h"
#include "vantrel/endpoint.h"
#include "vantrel/interfaces.h"
#include "vantrel/port_sharing.h"
#include "vantrel/protocol.h"
#include "vantrel/resolve.h"

namespace {

SetupFailure interface_failure(SetupStep step, const platform::Adapter& adapter, int code) {
  SetupFailure failure = failure_of(step, code);
  failure.interface_label = adapter.label;
  failure.interface_address = adapter.ipv4;
  failure.interface_chosen = adapter.index == 0;  // named by the user, by its address
  return failure;
}

}  // namespace

std::optional<SetupFailure> addressed_interfaces(std::vector<platform::Adapter>& out) {
  out.clear();
  if (!platform::list_adapters(out)) {
    return failure_of(SetupStep::list_interfaces, platform::last_socket_error());
  }
  std::erase_if(out, [](const platform::Adapter& adapter) { return !adapter.has_ipv4(); });
  return std::nullopt;
}

std::optional<SetupFailure> DiscoveryEndpoint::open() {
  close();
  SetupFailure failure;
  sock_ = initialize_socket(protocol::kService, &failure);
  if (sock_ == INVALID_SOCKET) {
    // Windows reports an exclusive holder and a refusing policy with the same code: the holder tells.
    if (failure.step == SetupStep::bind) failure.port_held = !discovery_port_users().empty();
    return failure;
  }
  // Room for a burst of thousands of replies while they are being shown.
  receive_buffer_ = enlarge_receive_buffer(sock_, kWantedReceiveBuffer);
  // Before the first probe: the system notes a datagram's arrival interface only if asked when it is
  // queued, and the first answers may be queued before anyone receives.
  platform::enable_arrival_details(sock_);
  group_ = ResolveAddress(protocol::kGroupAddress, protocol::kService, AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (group_ == nullptr) {
    const int error = platform::last_socket_error();
    diag::print(diag::Stream::err, "Unable to convert multicast address '%s': Error %d\n",
                protocol::kGroupAddress, error);
    close();
    return failure_of(SetupStep::group_address, error);
  }
  return std::nullopt;
}

void DiscoveryEndpoint::close() {
  if (group_ != nullptr) freeaddrinfo(group_);
  group_ = nullptr;
  joined_.clear();  // closing the socket ends its memberships
  if (sock_ != INVALID_SOCKET) {
    platform::close_socket(sock_);
    platform::socket_library_stop();  // the start that initialize_socket made
  }
  sock_ = INVALID_SOCKET;
  receive_buffer_ = -1;
}

bool DiscoveryEndpoint::has_membership(const platform::Adapter& adapter) const {
  return std::any_of(joined_.begin(), joined_.end(), [&](const Membership& joined) {
    return joined.index == adapter.index && joined.address == adapter.ipv4;
  });
}

void DiscoveryEndpoint::drop(const Membership& membership) {
  ip_mreq request{};
  request.imr_multiaddr = reinterpret_cast<const sockaddr_in*>(group_->ai_addr)->sin_addr;
  ::inet_pton(AF_INET, membership.address.c_str(), &request.imr_interface);
  // An interface that is gone took its membership with it: nothing is left to drop then.
  platform::drop_membership(sock_, request, membership.index);
}

WalkOutcome DiscoveryEndpoint::join(const std::vector<platform::Adapter>& interfaces) {
  WalkOutcome outcome;
  if (!is_open()) return outcome;
  // Gone, or joined under an address the interface no longer has.
  std::erase_if(joined_, [&](const Membership& joined) {
    const bool listed = std::any_of(interfaces.begin(), interfaces.end(), [&](const platform::Adapter& a) {
      return a.index == joined.index && a.ipv4 == joined.address;
    });
    if (!listed) drop(joined);
    return !listed;
  });
  for (const platform::Adapter& adapter : interfaces) {
    if (has_membership(adapter)) {
      ++outcome.succeeded;
      continue;
    }
    std::string address = adapter.ipv4;  // the core's walk takes a writable text
    if (join_interface(sock_, group_, address.data(), protocol::kService) != 0) {
      const int error = platform::last_socket_error();
      // Held already: an address the user named again, or one that was away and came back.
      if (platform::error_kind(error) != platform::ErrorKind::address_in_use) {
        outcome.failures.push_back(interface_failure(SetupStep::join, adapter, error));
        continue;
      }
    }
    joined_.push_back({adapter.index, adapter.ipv4});
    ++outcome.succeeded;
  }
  return outcome;
}

WalkOutcome DiscoveryEndpoint::probe(const std::vector<platform::Adapter>& interfaces) {
  WalkOutcome outcome;
  if (!is_open()) return outcome;
  for (const platform::Adapter& adapter : interfaces) {
    std::string address = adapter.ipv4;
    if (send_to_interface(sock_, group_, address.data(), protocol::kService) == 0) {
      ++outcome.succeeded;
    } else {
      outcome.failures.push_back(interface_failure(SetupStep::probe, adapter, platform::last_socket_error()));
    }
  }
  return outcome;
}
