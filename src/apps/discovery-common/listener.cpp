#include "listener.h"

#include "app_state.h"
#include "device_lines.h"
#include "reply_mailbox.h"
#include "vantrel/diagnostics.h"
#include "vantrel/endpoint.h"
#include "vantrel/interfaces.h"
#include "vantrel/protocol.h"
#include "vantrel/resolve.h"

namespace {

// With a wake socket, a stop is noticed at once; this long a wait keeps an idle listener almost asleep.
constexpr int kIdleWaitMs = 1000;

// Set-up up to the first probes. False when the group does not resolve (its line printed).
bool set_up_endpoint() {
  const SOCKET sock = initialize_socket(protocol::kService);
  if (sock != INVALID_SOCKET) enlarge_receive_buffer(sock, kWantedReceiveBuffer);
  {
    std::lock_guard lock(endpoint_mutex);
    s = sock;
  }
  addrinfo* group =
      ResolveAddress(protocol::kGroupAddress, protocol::kService, AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  {
    std::lock_guard lock(endpoint_mutex);
    resmulti = group;
  }
  if (group == nullptr) {
    diag::print(diag::Stream::err, "Unable to convert multicast address '%s': Error %d\n",
                protocol::kGroupAddress, platform::last_socket_error());
    return false;
  }
  // Every join is made before the first probe leaves.
  do_for_each_interface(sock, group, protocol::kService, join_interface);
  do_for_each_interface(sock, group, protocol::kService, send_to_interface);
  return true;
}

}  // namespace

int run_thread(const SightingSink& deliver) {
  if (!set_up_endpoint()) return -1;
  auto* buffer = static_cast<char*>(platform::heap_alloc_zeroed(protocol::kMaxReplySize));
  if (buffer == nullptr) {
    diag::print(diag::Stream::err, "HeapAlloc() failed with error code %lu\n", platform::last_system_error());
    return -1;
  }
  ReceiveLimits limits;
  if (listener_wake[0] != INVALID_SOCKET) {
    limits.wake = listener_wake[0];
    limits.longest_wait_ms = kIdleWaitMs;
  }
  const int result = receive_replies(s, buffer, listener_stop, deliver, limits);
  platform::heap_free(buffer);
  return result;
}

namespace {
// Replies shown per pass of the GUI event loop: small enough to keep the window responsive.
constexpr std::size_t kRepliesPerPass = 500;
}  // namespace

bool show_waiting_replies() {
  ReplyMailbox::Slice slice = mailbox.take(kRepliesPerPass);
  if (slice.dropped > 0) {
    diag::print(diag::Stream::err, "dropped %zu replies: the window could not keep up\n", slice.dropped);
  }
  show_new_device_lines(slice.replies);
  return slice.more;
}

namespace {
// GUI thread: whether start_listener_thread started the socket library for the wake pair (Winsock must be
// up before any socket is made; the listener's own start comes later, on its thread).
bool wake_library_started = false;
}  // namespace

std::thread start_listener_thread(std::function<void()> wake_gui_thread) {
  listener_stop = false;
  wake_library_started = platform::socket_library_start() == 0;
  if (!platform::open_wake_pair(listener_wake)) listener_wake[0] = listener_wake[1] = INVALID_SOCKET;
  return std::thread([wake = std::move(wake_gui_thread)] {
    run_thread([&wake](SightingBatch&& batch) {
      // The list and its control belong to the GUI thread: replies travel there through the mailbox.
      if (mailbox.post(std::move(batch))) wake();
    });
  });
}

void stop_listener_and_release(std::thread& listener) {
  listener_stop = true;
  if (listener_wake[1] != INVALID_SOCKET) platform::send_wake(listener_wake[1]);
  if (listener.joinable()) listener.join();
  for (SOCKET& end : listener_wake) {
    platform::close_socket(end);
    end = INVALID_SOCKET;
  }
  if (wake_library_started) platform::socket_library_stop();
  wake_library_started = false;
  mailbox.take(ReplyMailbox::kMaxWaiting);  // nobody will show what is still waiting
  std::lock_guard lock(endpoint_mutex);
  if (resmulti != nullptr) freeaddrinfo(resmulti);
  resmulti = nullptr;
  platform::close_socket(s);
  s = INVALID_SOCKET;
  platform::socket_library_stop();
}
