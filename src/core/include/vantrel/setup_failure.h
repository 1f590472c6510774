// A set-up step that failed, as a value: which step, the platform's error code, and the interface it
// failed on. The core still prints its own diagnostic line for each failure; this is what a program shows
// its user (see failure_words.h).
#pragma once

#include <string>

enum class SetupStep {
  socket_library,  // WSAStartup
  bind_address,    // resolving 0.0.0.0 for the bind
  socket,
  address_reuse,
  non_blocking,
  bind,
  ttl,
  loopback,
  group_address,  // resolving the group
  list_interfaces,
  join,
  probe,
};

struct SetupFailure {
  SetupStep step = SetupStep::socket;
  int code = 0;                   // the platform's error code (errno, WSAE*); 0 when it gave none
  std::string interface_label;    // join, probe: the interface as users know it
  std::string interface_address;  // join, probe: its IPv4 address
  bool interface_chosen = false;  // join, probe: the user named this interface
  bool port_held = false;         // bind: another program holds the port without sharing it
};

// A failure of a step that concerns no interface.
inline SetupFailure failure_of(SetupStep step, int code) {
  SetupFailure failure;
  failure.step = step;
  failure.code = code;
  return failure;
}
