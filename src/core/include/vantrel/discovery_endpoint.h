// The one set-up sequence of every program that discovers: the socket with its receive buffer, the group,
// and the interfaces the group is joined on. Each step prints the lines it always printed and gives its
// failures back as values.
//
// Not locked: one thread at a time. The window's Refresh and its listener share one behind a mutex.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "platform.h"
#include "vantrel/setup_failure.h"

// What a walk over the interfaces did.
struct WalkOutcome {
  std::size_t succeeded = 0;           // interfaces the step worked on (or was already done on)
  std::vector<SetupFailure> failures;  // one per interface it failed on, in walk order
};

// The usable interfaces that have an IPv4 address, in the system's order; a failure when the system
// cannot list them.
std::optional<SetupFailure> addressed_interfaces(std::vector<platform::Adapter>& out);

class DiscoveryEndpoint {
 public:
  DiscoveryEndpoint() = default;
  ~DiscoveryEndpoint() { close(); }
  DiscoveryEndpoint(const DiscoveryEndpoint&) = delete;
  DiscoveryEndpoint& operator=(const DiscoveryEndpoint&) = delete;

  // Opens the socket, asks for a large receive buffer and resolves the group. The first failure, if
  // any; the endpoint then holds nothing.
  std::optional<SetupFailure> open();

  // Drops the memberships, closes the socket, releases the group. Safe to call twice.
  void close();

  bool is_open() const { return sock_ != INVALID_SOCKET && group_ != nullptr; }
  SOCKET socket() const { return sock_; }
  const addrinfo* group() const { return group_; }
  int receive_buffer() const { return receive_buffer_; }  // as granted; -1 if it could not be read

  // Makes the memberships match `interfaces`: joins each one not joined yet (a "Joined group" line for
  // each new join only), joins again one whose address changed, and drops the memberships of interfaces
  // that are gone. Failures are the joins that failed.
  WalkOutcome join(const std::vector<platform::Adapter>& interfaces);

  // Sends the probe through each of `interfaces`.
  WalkOutcome probe(const std::vector<platform::Adapter>& interfaces);

  std::size_t joined() const { return joined_.size(); }

 private:
  struct Membership {
    unsigned index;  // the interface, as the system numbers it; 0 for an address the user named
    std::string address;
  };
  bool has_membership(const platform::Adapter& adapter) const;
  void drop(const Membership& membership);

  SOCKET sock_ = INVALID_SOCKET;
  addrinfo* group_ = nullptr;
  int receive_buffer_ = -1;
  std::vector<Membership> joined_;  // in join order
};
