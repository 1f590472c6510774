#include "sender.h"

namespace {

constexpr int kNoBufferRetryMs = 1;  // the device queue drains in well under that

}  // namespace

Sent send_whole(SOCKET sock, const std::string& datagram, const sockaddr_in& to, SOCKET wake) {
  for (;;) {
    if (platform::send_datagram(sock, datagram.data(), datagram.size(), reinterpret_cast<const sockaddr*>(&to),
                                sizeof to) != SOCKET_ERROR) {
      return Sent::sent;
    }
    const platform::ErrorKind error = platform::error_kind(platform::last_socket_error());
    if (error == platform::ErrorKind::interrupted) continue;
    if (error == platform::ErrorKind::would_block) {
      // The socket's send queue is full: it says when there is room again.
      const int writable = platform::wait_writable(sock, wake);
      if (writable == 0) return Sent::stopped;
      if (writable < 0) return Sent::failed;
    } else if (error == platform::ErrorKind::no_buffers) {
      // The interface's queue is full, which no socket event announces: try again shortly.
      if (!pause_until(Clock::now() + std::chrono::milliseconds(kNoBufferRetryMs), wake))
        return Sent::stopped;
    } else {
      return Sent::failed;
    }
  }
}

bool pause_until(Clock::time_point when, SOCKET wake) {
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now());
    if (left.count() <= 0) return true;
    if (platform::wait_readable(wake, static_cast<int>(left.count())) == 1) return false;
  }
}
