// The per-interface fan-out: join the group, and send the probe, once through every local interface that
// has an IPv4 address.
#pragma once

#include "platform.h"

// A per-interface action. `ifaddr` is the interface's IPv4 text, valid for the call only. 0 or -1.
using InterfaceAction = int (*)(SOCKET sock, const addrinfo* group, char* ifaddr, const char* service);

// Calls `action` for every usable adapter that has an IPv4 address, in the system's order, however many
// there are. Results are ignored; when the adapter list cannot be had, nothing is called.
void do_for_each_interface(SOCKET sock, addrinfo* group, const char* service, InterfaceAction action);

// Joins `group` on the interface `ifaddr`. 0, or -1 after a line saying what failed.
int join_interface(SOCKET sock, const addrinfo* group, char* ifaddr, const char* service);

// Makes `ifaddr` the outgoing multicast interface and sends the probe to `group`. The two steps are one
// unit with respect to other sends of the process, so a probe always leaves through its own interface.
int send_to_interface(SOCKET sock, const addrinfo* group, char* ifaddr, const char* service);

// IP_ADD_MEMBERSHIP for group on iface; prints "Joined group: [...]". The setsockopt result.
int join_multicast_group(SOCKET sock, const addrinfo* group, const addrinfo* iface);

// IP_MULTICAST_IF to iface; prints "Set sending interface to: [...]". The setsockopt result.
int set_send_interface(SOCKET sock, const addrinfo* iface);
