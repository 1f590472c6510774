#include "responder.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

#include "vantrel/protocol.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Destination {
  sockaddr_in address{};
  in_addr via{};  // outgoing interface, for the group
  bool to_group = false;
};

sockaddr_in group_address() {
  sockaddr_in group{};
  group.sin_family = AF_INET;
  group.sin_port = htons(static_cast<unsigned short>(std::stoi(protocol::kService)));
  ::inet_pton(AF_INET, protocol::kGroupAddress, &group.sin_addr);
  return group;
}

// Sends one datagram, waiting while the system's queues are full: a burst is slowed down, never cut.
bool send_whole(SOCKET sock, const std::string& datagram, const sockaddr_in& to) {
  for (int attempt = 0; attempt < 100000; ++attempt) {
    if (::sendto(sock, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to) >= 0) {
      return true;
    }
    const int error = platform::last_socket_error();
    if (error != ENOBUFS && error != EAGAIN && error != EWOULDBLOCK) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  return false;
}

// The moments (after now) at which each reply leaves: all at once, or spread at random over the jitter.
std::vector<Clock::duration> departures(size_t count, int jitter_ms) {
  std::vector<Clock::duration> at(count, Clock::duration::zero());
  if (jitter_ms <= 0) return at;
  std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<int> spread(0, jitter_ms * 1000);
  for (auto& moment : at) moment = std::chrono::microseconds(spread(random));
  std::sort(at.begin(), at.end());
  return at;
}

bool answer(const DeviceSocket& device, const SimOptions& options, const std::vector<std::string>& replies,
            const Destination& to, const std::atomic<bool>& stop) {
  if (to.to_group) {
    ::setsockopt(device.sock, IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&to.via), sizeof to.via);
  }
  const auto start = Clock::now() + std::chrono::milliseconds(options.delay_ms);
  const auto moments = departures(replies.size(), options.jitter_ms);
  for (size_t i = 0; i < replies.size() && !stop; ++i) {
    std::this_thread::sleep_until(start + moments[i]);
    if (!send_whole(device.sock, replies[i], to.address)) return false;
  }
  return true;
}

bool announce(const DeviceSocket& device, const SimOptions& options, const std::vector<std::string>& replies,
              const std::atomic<bool>& stop) {
  for (const in_addr& via : device.interfaces) {
    if (!answer(device, options, replies, Destination{group_address(), via, true}, stop)) return false;
  }
  return true;
}

void say_probe(const sockaddr_in& from, in_addr arrived_on) {
  char source[INET_ADDRSTRLEN] = {};
  char local[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &from.sin_addr, source, sizeof source);
  ::inet_ntop(AF_INET, &arrived_on, local, sizeof local);
  std::fprintf(stderr, "probe from %s:%u on %s\n", source, ntohs(from.sin_port), local);
}

}  // namespace

int run_responder(const DeviceSocket& device, const SimOptions& options, const std::vector<std::string>& replies,
                  const std::atomic<bool>& stop, SOCKET wake) {
  const auto period = std::chrono::milliseconds(options.announce_every_ms);
  auto next_announce = Clock::now() + period;
  long probes = 0;
  char buffer[protocol::kMaxReplySize];
  while (!stop) {
    int wait_ms = 1000;
    if (options.announce_every_ms > 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(next_announce - Clock::now());
      wait_ms = static_cast<int>(std::max<long>(0, left.count()));
    }
    const int ready = platform::wait_readable(device.sock, wait_ms, wake);
    if (options.announce_every_ms > 0 && Clock::now() >= next_announce) {
      if (!announce(device, options, replies, stop)) return 1;
      next_announce += period;
    }
    if (ready != 1 || stop) continue;

    sockaddr_in from{};
    int fromlen = sizeof from;
    in_addr arrived_on{};
    const int n = platform::receive_datagram_on(device.sock, buffer, sizeof buffer, reinterpret_cast<sockaddr*>(&from),
                                                &fromlen, &arrived_on);
    if (n != 1 || buffer[0] != protocol::kProbe[0]) continue;  // only a probe is answered
    if (options.verbose) say_probe(from, arrived_on);
    const Destination to = options.reply_to == ReplyTo::source ? Destination{from, {}, false}
                                                               : Destination{group_address(), arrived_on, true};
    if (!answer(device, options, replies, to, stop)) {
      std::fprintf(stderr, "vantrel-device-sim: sending a reply failed\n");
      return 1;
    }
    if (options.exit_after_probes > 0 && ++probes >= options.exit_after_probes) return 0;
  }
  return 0;
}
