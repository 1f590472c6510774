// The receive path shared by the window and the command-line program: waits for datagrams, takes every
// queued one, and turns the replies into sightings. Listing them is the caller's business.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform.h"
#include "vantrel/datagram_ring.h"
#include "vantrel/protocol.h"

struct Sighting {
  std::string host;  // sender's numeric address text; empty if it could not be formatted
  protocol::DeviceInfo device;
  std::string line;              // the device line, the device's identity
  int bytes = 0;                 // size of the whole datagram, marker included
  std::string text;              // the datagram up to its first zero byte, for the log line
  std::uint32_t address = 0;     // the sender's IPv4 address, host byte order; 0 when not IPv4
  unsigned interface_index = 0;  // the local interface it arrived on; 0 when the system did not say
};

using SightingBatch = std::vector<Sighting>;

// Called on the receiving thread with the replies taken in one go (never empty).
using SightingSink = std::function<void(SightingBatch&&)>;

// One received datagram to a sighting: none when it is not a reply or gives no device line. The sender
// address is formatted first; when that fails the host is empty.
std::optional<Sighting> sighting_from_datagram(const char* data, std::size_t size, const sockaddr* from,
                                               int fromlen, unsigned interface_index = 0);

struct ReceiveLimits {
  // How soon `stop` is noticed when nothing arrives. With a wake socket, a stop is noticed at once and
  // the loop may wait long: an idle listener then costs nothing.
  int longest_wait_ms = 10;
  SOCKET wake = INVALID_SOCKET;  // readable once the stop is requested (see platform::open_wake_pair)
  std::size_t batch_size = 256;  // sightings handed over at most at once
  std::size_t ring_bytes = DatagramRing::kDefaultBytes;
};

// Datagrams the receive path took but could not list, since it started. Counted, never a line each.
struct ReceiveCounts {
  std::uint64_t oversized = 0;       // longer than protocol::kMaxReplySize: never taken for a reply
  std::uint64_t ring_full = 0;       // arrived while decoding lagged so far behind that the ring was full
  std::uint64_t system_dropped = 0;  // dropped by the system, the socket's receive queue full (Linux)
};

// The receive path of one socket. Receiving and decoding never interleave while datagrams are queued:
// every queued datagram is first moved, raw, into a ring, and while a burst goes on the socket is asked
// again rather than anything being decoded. Decoding starts once the socket stays empty for a moment (or
// the ring has held datagrams for a second, or is half full), a few at a time between two looks at the
// socket. So a burst is taken from the system's small queue as fast as a plain receive loop takes it,
// and the order of arrival is kept.
//
// One thread: the one that calls run() owns the receiver, its ring and its counts.
class ReplyReceiver {
 public:
  // `buffer`: protocol::kMaxReplySize bytes, the caller's, into which each datagram is received.
  ReplyReceiver(SOCKET sock, char* buffer, ReceiveLimits limits = {});

  // Receives until `stop` is set (returns true) or a receive fails (prints "recvfrom() failed with error
  // code %d\n" and returns false). Datagrams still in the ring wait for the next run().
  bool run(const std::atomic<bool>& stop, const SightingSink& sink);

  // Decodes and hands over what still waits in the ring, receiving nothing more: for a run that ends at
  // a deadline, the replies that came before it.
  void finish(const SightingSink& sink);

  const ReceiveCounts& counts() const { return counts_; }

  // Called on the receiving thread with the new totals whenever a count grew, before the batch it
  // came with is handed over.
  void watch_losses(std::function<void(const ReceiveCounts&)> watcher) { watcher_ = std::move(watcher); }

 private:
  enum class Drain { emptied, paused, failed };
  Drain drain(const std::atomic<bool>& stop);
  void decode_some(SightingBatch& batch);
  void report_new_drops();
  void hand_over(SightingBatch& batch, const SightingSink& sink);

  SOCKET sock_;
  char* buffer_;
  ReceiveLimits limits_;
  DatagramRing ring_;
  ReceiveCounts counts_;
  std::uint64_t taken_ = 0;                              // datagrams received, whatever became of them
  std::chrono::steady_clock::time_point waiting_since_;  // the ring's oldest datagram arrived about then
  ReceiveCounts reported_;                               // what the diagnostic lines have said so far
  std::function<void(const ReceiveCounts&)> watcher_;
};

// A ReplyReceiver for one run: receives until `stop` is set (returns 0) or a receive fails (its line
// printed; returns 0).
int receive_replies(SOCKET sock, char* buffer, const std::atomic<bool>& stop, const SightingSink& sink,
                    ReceiveLimits limits = {});
