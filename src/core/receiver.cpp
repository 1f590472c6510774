#include "vantrel/receiver.h"

#include "vantrel/diagnostics.h"
#include "vantrel/read_line.h"
#include "vantrel/resolve.h"

namespace {

using diag::Stream;

constexpr int kSenderAddressSize = 128;
constexpr int kHostTextSize = 64;

enum class Take { datagram, drained, failed };

// One receive; a reply worth listing lands in `sighting`.
Take take_one(SOCKET sock, char* buffer, std::optional<Sighting>& sighting) {
  sockaddr_storage from{};
  int fromlen = kSenderAddressSize;
  const int n = platform::receive_datagram(sock, buffer, protocol::kMaxReplySize,
                                           reinterpret_cast<sockaddr*>(&from), &fromlen);
  if (n == SOCKET_ERROR) {
    const int error = platform::last_socket_error();
    if (error == platform::kErrorWouldBlock) return Take::drained;
    if (error == platform::kErrorMessageTooLong) {
      diag::print(Stream::err, "dropped a datagram longer than %d bytes\n", protocol::kMaxReplySize);
      return Take::datagram;
    }
    diag::print(Stream::out, "recvfrom() failed with error code %d\n", error);
    return Take::failed;
  }
  sighting = sighting_from_datagram(buffer, static_cast<std::size_t>(n),
                                    reinterpret_cast<const sockaddr*>(&from), fromlen);
  return Take::datagram;
}

}  // namespace

std::optional<Sighting> sighting_from_datagram(const char* data, std::size_t size, const sockaddr* from,
                                               int fromlen) {
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
  return sighting;
}

int receive_replies(SOCKET sock, char* buffer, const std::atomic<bool>& stop, const SightingSink& sink,
                    ReceiveLimits limits) {
  SightingBatch batch;
  const auto hand_over = [&] {
    if (batch.empty()) return;
    sink(std::move(batch));
    batch = SightingBatch();
  };
  while (!stop.load(std::memory_order_relaxed)) {
    // Waiting on readiness rather than sleeping between receives: a burst is taken as fast as it comes.
    if (platform::wait_readable(sock, limits.longest_wait_ms, limits.wake) == 0) continue;
    Take outcome = Take::datagram;
    while (outcome == Take::datagram && !stop.load(std::memory_order_relaxed)) {
      std::optional<Sighting> sighting;
      outcome = take_one(sock, buffer, sighting);
      if (sighting) batch.push_back(std::move(*sighting));
      if (batch.size() >= limits.batch_size) hand_over();
    }
    hand_over();
    if (outcome == Take::failed) return 0;
  }
  return 0;
}
