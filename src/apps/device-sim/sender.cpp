#include "sender.h"

#include <cerrno>

#ifdef _WIN32
#define poll WSAPoll
#else
#include <poll.h>
#endif

namespace {

constexpr int kNoBufferRetryMs = 1;  // the device queue drains in well under that

// 1 writable, 0 woken, -1 error.
int wait_writable(SOCKET sock, SOCKET wake) {
  for (;;) {
    pollfd fds[2] = {{sock, POLLOUT, 0}, {wake, POLLIN, 0}};
    const int ready = ::poll(fds, 2, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0) return -1;
    if ((fds[1].revents & POLLIN) != 0) return 0;
    if (fds[0].revents != 0) return 1;
  }
}

}  // namespace

Sent send_whole(SOCKET sock, const std::string& datagram, const sockaddr_in& to, SOCKET wake) {
  for (;;) {
    if (::sendto(sock, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                 sizeof to) >= 0) {
      return Sent::sent;
    }
    const int error = platform::last_socket_error();
    if (error == EINTR) continue;
    if (error == EAGAIN || error == EWOULDBLOCK) {
      // The socket's send queue is full: it says when there is room again.
      const int writable = wait_writable(sock, wake);
      if (writable == 0) return Sent::stopped;
      if (writable < 0) return Sent::failed;
    } else if (error == ENOBUFS) {
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
