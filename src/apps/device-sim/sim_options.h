// Command-line options of vantrel-device-sim, in one place.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

enum class ReplyTo { source, group };

// The largest UDP payload IPv4 carries: a reply (marker included) must fit in one datagram.
inline constexpr std::size_t kMaxDatagram = 65507;

struct SimOptions {
  std::string model = "VX-100";
  std::string serial = "SIM0001";
  std::optional<bool> boot_state = true;  // none: the reply has no "boot_state"
  long count = 1;                         // devices this process answers as
  ReplyTo reply_to = ReplyTo::source;
  int delay_ms = 0;
  int jitter_ms = 0;
  std::optional<std::string> payload;  // bytes sent instead of the built JSON
  bool marker = true;
  int announce_every_ms = 0;   // 0: only when probed
  long exit_after_probes = 0;  // 0: never
  bool verbose = false;
  bool help = false;
};

// False with `error` set when the arguments are not usable.
bool parse_sim_options(int argc, char** argv, SimOptions& options, std::string& error);

const char* sim_usage();
