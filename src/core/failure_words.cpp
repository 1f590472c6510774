#include "vantrel/failure_words.h"

#include "platform.h"
#include "vantrel/protocol.h"

namespace {

using platform::ErrorKind;

std::string why(int code) {
  return " (" + platform::error_text(code) + ")";
}

std::string port() {
  return std::string("UDP port ") + protocol::kService;
}

// A socket or bind failure whose words depend on what kind of error it is more than on the step.
std::string opening_words(const SetupFailure& failure, const std::string& unknown_lead) {
  const std::string because = why(failure.code);
  switch (platform::error_kind(failure.code)) {
    case ErrorKind::address_in_use:
      return "cannot bind " + port() + because + ": another program holds the port without address reuse";
    case ErrorKind::access_denied:
      // Windows refuses an exclusively held port with the same code as a policy: the holder tells them apart.
      if (failure.port_held)
        return "cannot bind " + port() + because + ": another program holds the port and does not share it";
      return "cannot open " + port() + because + ": check the firewall or sandbox policy for this program";
    case ErrorKind::no_buffers:
    case ErrorKind::out_of_resources:
      return "cannot open a UDP socket" + because + ": the system is short of descriptors or memory";
    case ErrorKind::no_ipv4:
      return "cannot open a UDP socket" + because + ": IPv4 is not available on this system";
    default:
      return unknown_lead + because;
  }
}

}  // namespace

std::string interface_words(const std::string& label, const std::string& address) {
  if (address.empty()) return label;
  if (label.empty() || label == address) return address;
  return label + " (" + address + ")";
}

std::string failure_words(const SetupFailure& failure) {
  const std::string because = why(failure.code);
  const std::string where = interface_words(failure.interface_label, failure.interface_address);
  switch (failure.step) {
    case SetupStep::socket_library:
      return "cannot start the socket library" + because;
    case SetupStep::bind_address:
      return "cannot convert the bind address 0.0.0.0" + because;
    case SetupStep::socket:
      return opening_words(failure, "cannot open a UDP socket");
    case SetupStep::address_reuse:
      return "cannot let other programs share " + port() + because;
    case SetupStep::non_blocking:
      return "cannot make the discovery socket non-blocking" + because;
    case SetupStep::bind:
      return opening_words(failure, "cannot bind " + port());
    case SetupStep::ttl:
      return "cannot set the multicast TTL of the discovery socket" + because;
    case SetupStep::loopback:
      return "cannot turn multicast loopback off on the discovery socket" + because;
    case SetupStep::group_address:
      return std::string("cannot resolve the group address ") + protocol::kGroupAddress + because;
    case SetupStep::list_interfaces:
      return "cannot list the network interfaces" + because;
    case SetupStep::join:
      return std::string("cannot join group ") + protocol::kGroupAddress + " on interface " + where +
             because +
             (failure.interface_chosen
                  ? ": check that the address belongs to an interface of this machine that is up"
                  : ": check the interface's multicast setup");
    case SetupStep::probe:
      return "cannot send the probe through interface " + where + because;
  }
  return "set-up failed" + because;
}
