// The status line's text as a pure function of the window's status, and the failure words it shares
// with vantrel-discover.
#include "window_status.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "vantrel/failure_words.h"

namespace {

SetupFailure on_interface(SetupStep step, int code, const char* label, const char* address) {
  SetupFailure failure = failure_of(step, code);
  failure.interface_label = label;
  failure.interface_address = address;
  return failure;
}

ProbeWalk walk(std::size_t interfaces, std::size_t probed, std::vector<SetupFailure> failures = {}) {
  ProbeWalk done;
  done.interfaces = interfaces;
  done.probed = probed;
  done.failures = std::move(failures);
  done.at = "14:02:11";
  return done;
}

TEST(FailureWords, SayTheStepAndWhy) {
  struct Case {
    const char* what;
    SetupFailure failure;
    std::string words;
  };
  SetupFailure exclusive = failure_of(SetupStep::bind, EACCES);
  exclusive.port_held = true;
  SetupFailure chosen = on_interface(SetupStep::join, ENODEV, "10.77.9.1", "10.77.9.1");
  chosen.interface_chosen = true;
  const Case cases[] = {
      {"port held", failure_of(SetupStep::bind, EADDRINUSE),
       "cannot bind UDP port 5556 (Address already in use): another program holds the port without address "
       "reuse"},
      {"access refused, nobody on the port", failure_of(SetupStep::bind, EACCES),
       "cannot open UDP port 5556 (Permission denied): check the firewall or sandbox policy for this "
       "program"},
      {"access refused, the port held for itself", exclusive,
       "cannot bind UDP port 5556 (Permission denied): another program holds the port and does not share it"},
      {"no descriptors", failure_of(SetupStep::socket, EMFILE),
       "cannot open a UDP socket (Too many open files): the system is short of descriptors or memory"},
      {"reuse", failure_of(SetupStep::address_reuse, ENOPROTOOPT),
       "cannot let other programs share UDP port 5556 (Protocol not available)"},
      {"non-blocking", failure_of(SetupStep::non_blocking, EBADF),
       "cannot make the discovery socket non-blocking (Bad file descriptor)"},
      {"ttl", failure_of(SetupStep::ttl, EINVAL),
       "cannot set the multicast TTL of the discovery socket (Invalid argument)"},
      {"loopback", failure_of(SetupStep::loopback, EINVAL),
       "cannot turn multicast loopback off on the discovery socket (Invalid argument)"},
      {"group", failure_of(SetupStep::group_address, EAI_NONAME),
       "cannot resolve the group address 224.0.0.120 (" + platform::error_text(EAI_NONAME) + ")"},
      {"a join on a named interface", on_interface(SetupStep::join, ENOBUFS, "eth1", "10.0.0.1"),
       "cannot join group 224.0.0.120 on interface eth1 (10.0.0.1) (No buffer space available): check the "
       "interface's multicast setup"},
      {"a join on an address the user chose", chosen,
       "cannot join group 224.0.0.120 on interface 10.77.9.1 (No such device): check that the address "
       "belongs to an interface of this machine that is up"},
      {"a probe", on_interface(SetupStep::probe, ENETUNREACH, "Ethernet 2", "192.168.1.5"),
       "cannot send the probe through interface Ethernet 2 (192.168.1.5) (Network is unreachable)"},
      {"no code", failure_of(SetupStep::list_interfaces, 0),
       "cannot list the network interfaces (unknown error)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(failure_words(c.failure), c.words);
  }
}

TEST(StatusText, CountProbeAndProblemsMostSeriousFirst) {
  struct Case {
    const char* what;
    WindowStatus status;
    std::vector<std::string> items;  // the tooltip's lines; the line is them joined by " · "
  };
  WindowStatus failed;
  failed.start_failure = failure_of(SetupStep::bind, EADDRINUSE);
  WindowStatus no_interface;
  no_interface.last_walk = walk(0, 0);
  WindowStatus one;
  one.devices = 1;
  one.last_walk = walk(2, 2);
  WindowStatus many;
  many.devices = 12345;
  many.last_walk = walk(1, 1);
  WindowStatus troubled;
  troubled.last_walk = walk(2, 1, {on_interface(SetupStep::join, ENOBUFS, "eth1", "10.0.0.1")});
  troubled.silent = true;
  troubled.port_warning =
      "Another program is using UDP port 5556; devices' answers may reach it instead of "
      "this window.";
  WindowStatus lossy;
  lossy.devices = 2;
  lossy.last_walk = walk(1, 1);
  lossy.receive_buffer = 425984;
  lossy.largest_receive_buffer = 212992;
  lossy.losses.received = {3, 0, 1500};
  lossy.losses.behind = 2;
  WindowStatus roomy = lossy;
  roomy.receive_buffer = 8 * 1024 * 1024;
  roomy.losses = {};
  roomy.losses.received.system_dropped = 1;
  WindowStatus found = many;
  found.devices = 2000;
  found.shown = 12;
  found.flagged = 2;
  WindowStatus one_flagged = one;
  one_flagged.flagged = 1;
  const Case cases[] = {
      {"before anything", WindowStatus(), {"No devices yet"}},
      {"a find open, problems flagged",
       found,
       {"12 of 2,000 devices", "2 problems", "Probed 1 interface at 14:02:11"}},
      {"one problem", one_flagged, {"1 device", "1 problem", "Probed 2 interfaces at 14:02:11"}},
      {"discovery could not start",
       failed,
       {"No devices yet",
        "Discovery could not start: Cannot bind UDP port 5556 (Address already in use): another program "
        "holds "
        "the port without address reuse."}},
      {"no interface",
       no_interface,
       {"No devices yet", "Probed 0 interfaces at 14:02:11",
        "No network interface with an IPv4 address is up. Once one is, press Refresh."}},
      {"one device", one, {"1 device", "Probed 2 interfaces at 14:02:11"}},
      {"thousands", many, {"12,345 devices", "Probed 1 interface at 14:02:11"}},
      {"join failed, port shared, silent",
       troubled,
       {"No devices yet", "Probed 1 interface at 14:02:11",
        "Cannot join group 224.0.0.120 on interface eth1 (10.0.0.1) (No buffer space available): check the "
        "interface's multicast setup.",
        troubled.port_warning,
        "No device has answered. Check that the devices are powered and on this network, and that the "
        "firewall lets UDP port 5556 in."}},
      {"losses with a small buffer",
       lossy,
       {"2 devices", "Probed 1 interface at 14:02:11",
        "Replies lost: 3 longer than 2,048 bytes (not replies of this protocol); 1,500 dropped by the system "
        "with the receive queue full (receive buffer 425,984 bytes; raise net.core.rmem_max for a larger "
        "one); 2 while the window could not keep up."}},
      {"a drop with a large buffer",
       roomy,
       {"2 devices", "Probed 1 interface at 14:02:11",
        "Replies lost: 1 dropped by the system with the receive queue full (receive buffer 8,388,608 "
        "bytes)."}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string line;
    std::string details;
    for (const std::string& item : c.items) {
      line += (line.empty() ? "" : "  \xC2\xB7  ") + item;
      details += (details.empty() ? "" : "\n") + item;
    }
    const StatusText text = status_text(c.status);
    EXPECT_EQ(text.line, line);
    EXPECT_EQ(text.details, details);
  }
}

}  // namespace
