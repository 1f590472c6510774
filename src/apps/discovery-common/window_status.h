// What the window's status line says: the count, the last probe, and the problems, most serious first.
// The state is plain data and its text a pure function of it; the GUI thread keeps the one instance and
// a front end only shows the text.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "vantrel/host_interfaces.h"
#include "vantrel/receiver.h"
#include "vantrel/setup_failure.h"

// One walk over the interfaces: joins (new ones only) and a probe through each.
struct ProbeWalk {
  std::optional<SetupFailure> listing;  // the interfaces could not be listed
  std::size_t interfaces = 0;           // addressed interfaces found
  std::size_t probed = 0;               // interfaces the probe left through
  std::vector<SetupFailure> failures;   // joins and probes that failed, in walk order
  std::string at;                       // local time of the walk, "14:02:11"
  HostInterfaces host;                  // the addressed interfaces, for the replies that follow
};

// Replies that reached the tool, or should have, but are not listed.
struct Losses {
  ReceiveCounts received;       // oversized, ring full, dropped by the system
  std::uint64_t list_full = 0;  // new devices with the list at its cap
  std::uint64_t behind = 0;     // replies dropped while the window could not keep up
};

struct WindowStatus {
  std::size_t devices = 0;
  std::size_t flagged = 0;                    // devices with a problem
  std::optional<std::size_t> shown;           // devices a find lets through, while one is open
  std::optional<SetupFailure> start_failure;  // discovery could not start at all
  std::optional<ProbeWalk> last_walk;
  std::string port_warning;  // another program on the port; empty if none
  bool silent = false;       // nobody answered in time after a probe
  Losses losses;
  int receive_buffer = -1;         // bytes the socket got; -1 unknown
  int largest_receive_buffer = 0;  // what the system would grant (Linux: rmem_max); 0 when it names none
};

struct StatusText {
  std::string line;     // one line: the count, the probe, the problems
  std::string details;  // the same in full, one item per line: the tooltip
};

StatusText status_text(const WindowStatus& status);

// "1 device", "2,000 devices", "No devices yet"; "12 of 2,000 devices" while a find shows only some.
std::string device_count_words(std::size_t devices, std::optional<std::size_t> shown = std::nullopt);

// 12345 → "12,345".
std::string with_thousands(std::uint64_t value);

// How long after a probe the window waits for a first answer before it says that nobody answered.
inline constexpr int kSilenceHintMs = 3000;
