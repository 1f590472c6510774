#include "responder.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "sender.h"
#include "vantrel/protocol.h"

namespace {

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

std::string text_of(in_addr address) {
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &address, text, sizeof text);
  return text;
}

// The moments (after the start) at which each reply leaves: all at once, or spread at random over the jitter.
std::vector<Clock::duration> departures(std::size_t count, int jitter_ms) {
  std::vector<Clock::duration> at(count, Clock::duration::zero());
  if (jitter_ms <= 0) return at;
  std::mt19937 random(std::random_device{}());
  std::uniform_int_distribution<int> spread(0, jitter_ms * 1000);
  for (auto& moment : at) moment = std::chrono::microseconds(spread(random));
  std::sort(at.begin(), at.end());
  return at;
}

void say_unsent(const Destination& to, std::size_t unsent, std::size_t all) {
  std::fprintf(stderr, "vantrel-device-sim: cannot send to %s:%u: %s (%zu of %zu replies not sent)\n",
               text_of(to.address.sin_addr).c_str(), ntohs(to.address.sin_port),
               platform::error_text(platform::last_socket_error()).c_str(), unsent, all);
}

// Sends every reply to `to` after `delay_ms`; false when a stop cut it short.
bool answer(const DeviceSocket& device, const SimOptions& options, const Replies& replies,
            const Destination& to, int delay_ms, SOCKET wake) {
  if (to.to_group) {
    ::setsockopt(device.sock, IPPROTO_IP, IP_MULTICAST_IF, reinterpret_cast<const char*>(&to.via),
                 sizeof to.via);
  }
  const auto start = Clock::now() + std::chrono::milliseconds(delay_ms);
  const auto moments = departures(replies.size(), options.jitter_ms);
  for (std::size_t i = 0; i < replies.size(); ++i) {
    if (!pause_until(start + moments[i], wake)) return false;
    const Sent sent = send_whole(device.sock, replies[i], to.address, wake);
    if (sent == Sent::stopped) return false;
    if (sent == Sent::failed) {
      say_unsent(to, replies.size() - i, replies.size());
      return true;
    }
  }
  return true;
}

// Unprompted replies have no sender to go back to: they go to the group, through every interface.
bool announce(const DeviceSocket& device, const SimOptions& options, const Replies& replies, SOCKET wake) {
  for (const in_addr& via : device.interfaces) {
    if (!answer(device, options, replies, Destination{group_address(), via, true}, 0, wake)) return false;
  }
  return true;
}

void say_probe(const sockaddr_in& from, in_addr arrived_on) {
  std::fprintf(stderr, "probe from %s:%u on %s\n", text_of(from.sin_addr).c_str(), ntohs(from.sin_port),
               text_of(arrived_on).c_str());
}

// The next datagram if it is a probe: true with its sender and arriving interface.
bool take_probe(SOCKET sock, sockaddr_in& from, in_addr& arrived_on) {
  char buffer[protocol::kMaxReplySize];
  int fromlen = sizeof from;
  const int n = platform::receive_datagram_on(sock, buffer, sizeof buffer, reinterpret_cast<sockaddr*>(&from),
                                              &fromlen, &arrived_on);
  return n == 1 && buffer[0] == protocol::kProbe[0];  // only a probe is answered; longer ones fail here
}

}  // namespace

int run_responder(const DeviceSocket& device, const SimOptions& options, const Replies& replies,
                  const std::atomic<bool>& stop, SOCKET wake) {
  const auto period = std::chrono::milliseconds(options.announce_every_ms);
  auto next_announce = Clock::now() + period;
  long probes = 0;
  while (!stop) {
    int wait_ms = 1000;
    if (options.announce_every_ms > 0) {
      const auto left = std::chrono::ceil<std::chrono::milliseconds>(next_announce - Clock::now());
      wait_ms = static_cast<int>(std::max<std::chrono::milliseconds::rep>(0, left.count()));
    }
    const int ready = platform::wait_readable(device.sock, wait_ms, wake);
    if (stop) break;
    if (options.announce_every_ms > 0 && Clock::now() >= next_announce) {
      if (!announce(device, options, replies, wake)) break;
      next_announce = std::max(next_announce + period, Clock::now());
    }
    sockaddr_in from{};
    in_addr arrived_on{};
    if (ready != 1 || !take_probe(device.sock, from, arrived_on)) continue;
    if (options.verbose) say_probe(from, arrived_on);
    const Destination to = options.reply_to == ReplyTo::source
                               ? Destination{from, {}, false}
                               : Destination{group_address(), arrived_on, true};
    if (!answer(device, options, replies, to, options.delay_ms, wake)) break;
    if (options.exit_after_probes > 0 && ++probes >= options.exit_after_probes) break;
  }
  return 0;
}
