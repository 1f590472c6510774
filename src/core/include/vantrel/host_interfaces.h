// This host's interfaces as a snapshot, by the system's interface index: what a reply's arrival index
// means, and the subnets a device should be in to be reachable. Taken at each probe walk, never per
// datagram.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform.h"

struct HostInterface {
  unsigned index = 0;
  std::string label;    // as users know it
  std::string address;  // its first IPv4 address, as text
  std::vector<platform::Ipv4Prefix> subnets;
};

class HostInterfaces {
 public:
  HostInterfaces() = default;
  explicit HostInterfaces(const std::vector<platform::Adapter>& adapters);

  // The interface with this index; null when unknown (0, or gone since the snapshot).
  const HostInterface* find(unsigned index) const;

  // Whether `address` (host byte order) is in a subnet of any interface.
  bool reaches(std::uint32_t address) const;

  bool empty() const { return interfaces_.empty(); }

 private:
  std::vector<HostInterface> interfaces_;
};

// Whether `address` lies in `prefix`'s subnet. A /32 holds the address alone; /0 holds everything.
bool in_subnet(std::uint32_t address, const platform::Ipv4Prefix& prefix);
