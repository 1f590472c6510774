#include "vantrel/receiver.h"

#include <chrono>
#include <cstring>

#include "vantrel/diagnostics.h"
#include "vantrel/read_line.h"
#include "vantrel/resolve.h"

namespace {

using diag::Stream;

// The sender-address length set before every receive: room for any address family's socket address, as
// a sockaddr_storage has, although only IPv4 senders reach this socket.
constexpr int kSenderAddressSize = 128;
constexpr int kHostTextSize = 64;

// Datagrams decoded between two looks at the socket: a few microseconds of work, in which the system's
// queue takes in only a handful of new ones.
constexpr int kDecodesBetweenReceives = 8;

// The longest drain before a few are decoded all the same: under a flood that never lets the socket run
// empty, devices are still listed, at a cost of one decode in five hundred receives.
constexpr int kLongestDrain = 4096;

// A burst is over, and decoding may start, when the socket has stayed empty this long, or when the ring
// has held datagrams for kLongestDeferral (a stream that never pauses is decoded as it comes) or is
// half full.
constexpr int kBurstGapMs = 1;
constexpr std::chrono::milliseconds kLongestDeferral{1000};

}  // namespace

std::optional<Sighting> sighting_from_datagram(const char* data, std::size_t size, const sockaddr* from,
                                               int fromlen, unsigned interface_index) {
  if (!protocol::is_reply(data, size)) return std::nullopt;
  // Starts empty, so that a sender whose address cannot be formatted gives an empty host, never stale text.
  char host[kHostTextSize] = {};
  FormatAddress(from, fromlen, host, kHostTextSize);
  std::optional<protocol::DeviceInfo> device = protocol::decode_device(data, size);
  if (!device) return std::nullopt;
  Sighting sighting;
  sighting.host = host;
  sighting.line = protocol::device_line(sighting.host, *device);
  sighting.device = std::move(*device);
  sighting.bytes = static_cast<int>(size);
  sighting.text = datagram_text(data, size);
  if (from->sa_family == AF_INET) {
    sighting.address = ntohl(reinterpret_cast<const sockaddr_in*>(from)->sin_addr.s_addr);
  }
  sighting.interface_index = interface_index;
  return sighting;
}

ReplyReceiver::ReplyReceiver(SOCKET sock, char* buffer, ReceiveLimits limits)
    : sock_(sock), buffer_(buffer), limits_(limits), ring_(limits.ring_bytes) {
  // Without the details the datagrams still come, only without their interface and the system's count.
  if (sock_ != INVALID_SOCKET) platform::enable_arrival_details(sock_);
}

// The inner loop: receive, keep, receive. Nothing is decoded, formatted or handed over in here.
ReplyReceiver::Drain ReplyReceiver::drain(const std::atomic<bool>& stop) {
  for (int taken = 0; taken < kLongestDrain; ++taken) {
    if (stop.load(std::memory_order_relaxed)) return Drain::paused;
    sockaddr_storage from{};
    int fromlen = kSenderAddressSize;
    platform::ArrivalDetails details;
    const int n = platform::receive_datagram_details(sock_, buffer_, protocol::kMaxReplySize,
                                                     reinterpret_cast<sockaddr*>(&from), &fromlen, &details);
    if (n == SOCKET_ERROR) {
      const int error = platform::last_socket_error();
      if (error == platform::kErrorWouldBlock) return Drain::emptied;
      if (error == platform::kErrorMessageTooLong) {
        ++counts_.oversized;
        continue;
      }
      if (platform::error_kind(error) == platform::ErrorKind::interrupted) continue;
      diag::print(Stream::out, "recvfrom() failed with error code %d\n", error);
      return Drain::failed;
    }
    ++taken_;
    if (details.dropped_so_far > counts_.system_dropped) counts_.system_dropped = details.dropped_so_far;
    // Probes of other copies of the tool and other strays never take room from replies.
    if (!protocol::is_reply(buffer_, static_cast<std::size_t>(n))) continue;
    sockaddr_in sender{};
    if (from.ss_family == AF_INET) std::memcpy(&sender, &from, sizeof sender);
    if (!ring_.push(sender, details.interface_index, buffer_, static_cast<std::size_t>(n)))
      ++counts_.ring_full;
  }
  return Drain::paused;
}

void ReplyReceiver::decode_some(SightingBatch& batch) {
  for (int i = 0; i < kDecodesBetweenReceives && !ring_.empty(); ++i) {
    const DatagramRing::Datagram datagram = ring_.front();
    std::optional<Sighting> sighting = sighting_from_datagram(
        datagram.data, datagram.size, reinterpret_cast<const sockaddr*>(&datagram.from),
        static_cast<int>(sizeof datagram.from), datagram.interface_index);
    ring_.pop();
    if (sighting) batch.push_back(std::move(*sighting));
  }
}

// One line per kind of loss whenever its count grew since the last line: a flood of bad datagrams must
// not become a flood of diagnostics.
void ReplyReceiver::report_new_drops() {
  if (counts_.oversized > reported_.oversized) {
    const std::uint64_t fresh = counts_.oversized - reported_.oversized;
    if (fresh == 1) {
      diag::print(Stream::err, "dropped a datagram longer than %d bytes\n", protocol::kMaxReplySize);
    } else {
      diag::print(Stream::err, "dropped %llu datagrams longer than %d bytes\n",
                  static_cast<unsigned long long>(fresh), protocol::kMaxReplySize);
    }
  }
  if (counts_.ring_full > reported_.ring_full) {
    diag::print(Stream::err, "dropped %llu replies: decoding fell behind the network\n",
                static_cast<unsigned long long>(counts_.ring_full - reported_.ring_full));
  }
  const bool grew = counts_.oversized > reported_.oversized || counts_.ring_full > reported_.ring_full ||
                    counts_.system_dropped > reported_.system_dropped;
  reported_ = counts_;
  if (grew && watcher_) watcher_(counts_);
}

// The losses' lines, then the batch (if any) to the sink; the batch starts over empty.
void ReplyReceiver::hand_over(SightingBatch& batch, const SightingSink& sink) {
  report_new_drops();
  if (batch.empty()) return;
  sink(std::move(batch));
  batch = SightingBatch();
}

bool ReplyReceiver::run(const std::atomic<bool>& stop, const SightingSink& sink) {
  SightingBatch batch;
  while (!stop.load(std::memory_order_relaxed)) {
    // Waiting on readiness rather than sleeping between receives: a burst is taken as fast as it comes.
    if (ring_.empty() && platform::wait_readable(sock_, limits_.longest_wait_ms, limits_.wake) == 0) continue;
    const bool was_empty = ring_.empty();
    const std::uint64_t before = taken_;
    const Drain drained = drain(stop);
    if (drained == Drain::failed) {
      hand_over(batch, sink);
      return false;
    }
    if (was_empty && !ring_.empty()) waiting_since_ = std::chrono::steady_clock::now();
    // While a burst goes on, the socket is asked again rather than decoding: the thread then costs what
    // a plain receive loop costs, and the system's small queue never fills behind work it could defer.
    const bool bursting = drained == Drain::emptied && taken_ > before && !ring_.half_full() &&
                          std::chrono::steady_clock::now() - waiting_since_ < kLongestDeferral;
    if (bursting && platform::wait_readable(sock_, kBurstGapMs, limits_.wake) != 0) continue;
    decode_some(batch);
    if (batch.size() >= limits_.batch_size || ring_.empty()) hand_over(batch, sink);
  }
  hand_over(batch, sink);
  return true;
}

void ReplyReceiver::finish(const SightingSink& sink) {
  SightingBatch batch;
  while (!ring_.empty()) {
    decode_some(batch);
    if (batch.size() >= limits_.batch_size) hand_over(batch, sink);
  }
  hand_over(batch, sink);
}

int receive_replies(SOCKET sock, char* buffer, const std::atomic<bool>& stop, const SightingSink& sink,
                    ReceiveLimits limits) {
  ReplyReceiver receiver(sock, buffer, limits);
  receiver.run(stop, sink);
  return 0;
}
