// The receive loop shared by the window and the command-line program: waits for datagrams, takes every
// queued one, and turns the replies into sightings. Listing them is the caller's business.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform.h"
#include "vantrel/protocol.h"

struct Sighting {
  std::string host;  // sender's numeric address text; empty if it could not be formatted
  protocol::DeviceInfo device;
  std::string line;  // the device line, the device's identity
  int bytes = 0;     // size of the whole datagram, marker included
  std::string text;  // the datagram up to its first zero byte, for the log line
};

using SightingBatch = std::vector<Sighting>;

// Called on the receiving thread with the replies taken in one go (never empty).
using SightingSink = std::function<void(SightingBatch&&)>;

// One received datagram to a sighting: none when it is not a reply or gives no device line. The sender
// address is formatted first; when that fails the host is empty.
std::optional<Sighting> sighting_from_datagram(const char* data, std::size_t size, const sockaddr* from,
                                               int fromlen);

struct ReceiveLimits {
  // How soon `stop` is noticed when nothing arrives. With a wake socket, a stop is noticed at once and
  // the loop may wait long: an idle listener then costs nothing.
  int longest_wait_ms = 10;
  SOCKET wake = INVALID_SOCKET;  // readable once the stop is requested (see platform::open_wake_pair)
  std::size_t batch_size = 256;  // sightings handed over at most at once
};

// Receives on `sock` into `buffer` (protocol::kMaxReplySize bytes, the caller's) until `stop` is set (returns
// 0) or a receive fails (prints "recvfrom() failed with error code %d\n" and returns 0). A datagram longer
// than the largest reply is dropped with one line on the error stream, and receiving goes on.
int receive_replies(SOCKET sock, char* buffer, const std::atomic<bool>& stop, const SightingSink& sink,
                    ReceiveLimits limits = {});
