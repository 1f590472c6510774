#include "vantrel/port_sharing.h"

#include <cstdlib>

#include "vantrel/protocol.h"

std::string port_sharing_warning(const std::vector<platform::PortUser>& others, const std::string& us) {
  if (others.empty()) return {};
  std::string owners;
  for (const platform::PortUser& other : others) {
    std::string owner = other.program;
    if (other.process != 0)
      owner += (owner.empty() ? "process " : ", process ") + std::to_string(other.process);
    if (owner.empty() || owners.find(owner) != std::string::npos) continue;  // one socket each is enough
    owners += (owners.empty() ? "" : "; ") + owner;
  }
  return "Another program is using UDP port " + std::string(protocol::kService) +
         (owners.empty() ? "" : " (" + owners + ")") + "; devices' answers may reach it instead of " + us +
         ".";
}

std::vector<platform::PortUser> discovery_port_users() {
  std::vector<platform::PortUser> others;
  const auto port = static_cast<unsigned short>(std::strtoul(protocol::kService, nullptr, 10));
  if (!platform::other_udp_port_users(port, others)) others.clear();
  return others;
}

std::string check_port_sharing(const std::string& us) {
  return port_sharing_warning(discovery_port_users(), us);
}
