#include "vantrel/host_interfaces.h"

#include <algorithm>

HostInterfaces::HostInterfaces(const std::vector<platform::Adapter>& adapters) {
  for (const platform::Adapter& adapter : adapters) {
    interfaces_.push_back(
        {adapter.index, adapter.label, adapter.has_ipv4() ? adapter.ipv4 : std::string(), adapter.addresses});
  }
}

const HostInterface* HostInterfaces::find(unsigned index) const {
  if (index == 0) return nullptr;
  const auto found =
      std::find_if(interfaces_.begin(), interfaces_.end(),
                   [index](const HostInterface& interface) { return interface.index == index; });
  return found == interfaces_.end() ? nullptr : &*found;
}

bool HostInterfaces::reaches(std::uint32_t address) const {
  return std::any_of(interfaces_.begin(), interfaces_.end(), [address](const HostInterface& interface) {
    return std::any_of(interface.subnets.begin(), interface.subnets.end(),
                       [address](const platform::Ipv4Prefix& prefix) { return in_subnet(address, prefix); });
  });
}

bool in_subnet(std::uint32_t address, const platform::Ipv4Prefix& prefix) {
  if (prefix.length == 0) return true;
  const std::uint32_t mask = prefix.length >= 32 ? 0xFFFFFFFFu : ~(0xFFFFFFFFu >> prefix.length);
  return (address & mask) == (prefix.address & mask);
}
