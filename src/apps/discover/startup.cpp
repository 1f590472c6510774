#include "startup.h"

#include <cstdio>

#include "vantrel/protocol.h"

namespace discover {

std::optional<std::vector<std::string>> interface_addresses(const std::vector<std::string>& chosen) {
  if (!chosen.empty()) return chosen;
  std::vector<platform::Adapter> adapters;
  if (!platform::list_adapters(adapters)) return std::nullopt;
  std::vector<std::string> addresses;
  for (const platform::Adapter& adapter : adapters) {
    if (adapter.ipv4 != "0.0.0.0") addresses.push_back(adapter.ipv4);
  }
  return addresses;
}

std::string reason(int error) {
  return platform::error_text(error);
}

std::string socket_failure(int error) {
  const std::string port = protocol::kService;
  const std::string why = " (" + reason(error) + ")";
  switch (platform::error_kind(error)) {
    case platform::ErrorKind::address_in_use:
      return "cannot bind UDP port " + port + why + ": another program holds the port without address reuse";
    case platform::ErrorKind::access_denied:
      return "cannot open UDP port " + port + why + ": check the firewall or sandbox policy for this program";
    case platform::ErrorKind::no_buffers:
    case platform::ErrorKind::out_of_resources:
      return "cannot open a UDP socket" + why + ": the system is short of descriptors or memory";
    case platform::ErrorKind::no_ipv4:
      return "cannot open a UDP socket" + why + ": IPv4 is not available on this system";
    default:
      return "cannot open UDP port " + port + why + ": run with -v to see the failing step";
  }
}

std::string join_failure(const std::string& address, int error, bool chosen) {
  const std::string lead = "cannot join group " + std::string(protocol::kGroupAddress) + " on interface " +
                           address + " (" + reason(error) + ")";
  if (chosen) return lead + ": check that the address belongs to an interface of this machine that is up";
  return lead + ": check the interface's multicast setup";
}

void report(const std::string& line) {
  std::fprintf(stderr, "vantrel-discover: %s\n", line.c_str());
}

}  // namespace discover
