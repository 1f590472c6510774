#include "listener.h"

#include "app_state.h"
#include "device_lines.h"
#include "interface_walk.h"
#include "reply_mailbox.h"
#include "status_line.h"
#include "vantrel/diagnostics.h"
#include "vantrel/protocol.h"

namespace {

// With a wake socket, a stop is noticed at once; this long a wait keeps an idle listener almost asleep.
constexpr int kIdleWaitMs = 1000;

// Set-up up to the first probes, under the endpoint's lock so that a Refresh meanwhile waits for it.
SetupNews set_up_endpoint() {
  SetupNews news;
  std::lock_guard lock(endpoint_mutex);
  news.failure = endpoint.open();
  if (news.failure) return news;
  news.receive_buffer = endpoint.receive_buffer();
  news.walk = walk_interfaces();
  return news;
}

}  // namespace

int run_thread(const SightingSink& deliver, const std::function<void(SetupNews&&)>& tell,
               const std::function<void(const ReceiveCounts&)>& watch_losses) {
  SetupNews news = set_up_endpoint();
  const bool started = !news.failure;
  tell(std::move(news));
  if (!started) return -1;
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
  {
    // The socket is opened before and closed after this loop, by the set-up and the shutdown: it is
    // read here without the endpoint's lock.
    ReplyReceiver receiver(endpoint.socket(), buffer, limits);
    receiver.watch_losses(watch_losses);
    receiver.run(listener_stop, deliver);
  }
  platform::heap_free(buffer);
  return 0;
}

namespace {
// Replies shown per pass of the GUI event loop: small enough to keep the window responsive.
constexpr std::size_t kRepliesPerPass = 500;

// GUI thread: the totals of what the listener and the window could not list.
Losses losses;
}  // namespace

bool show_waiting_replies() {
  ReplyMailbox::Slice slice = mailbox.take(kRepliesPerPass);
  if (slice.setup) {
    list.set_interfaces(slice.setup->walk.host);
    status_after_setup(*slice.setup);
  }
  bool lost = false;
  if (slice.counts) {
    losses.received = *slice.counts;
    lost = true;
  }
  if (slice.dropped > 0) {
    diag::print(diag::Stream::err, "dropped %zu replies: the window could not keep up\n", slice.dropped);
    losses.behind += slice.dropped;
    lost = true;
  }
  if (const std::size_t refused = show_new_device_lines(slice.replies); refused > 0) {
    losses.list_full += refused;
    lost = true;
  }
  if (lost) status_losses(losses);
  status_devices_changed(list.size(), list.flagged());
  return slice.more;
}

namespace {
// GUI thread: whether start_listener_thread started the socket library for the wake pair (Winsock must be
// up before any socket is made; the listener's own start comes later, on its thread).
bool wake_library_started = false;
}  // namespace

std::thread start_listener_thread(std::function<void()> wake_gui_thread) {
  listener_stop = false;
  losses = {};
  status_reset();
  wake_library_started = platform::socket_library_start() == 0;
  if (!platform::open_wake_pair(listener_wake)) listener_wake[0] = listener_wake[1] = INVALID_SOCKET;
  return std::thread([wake = std::move(wake_gui_thread)] {
    // The list, its control and the status line belong to the GUI thread: everything travels there
    // through the mailbox.
    run_thread(
        [&wake](SightingBatch&& batch) {
          if (mailbox.post(std::move(batch))) wake();
        },
        [&wake](SetupNews&& news) {
          if (mailbox.post(std::move(news))) wake();
        },
        [&wake](const ReceiveCounts& counts) {
          if (mailbox.post(counts)) wake();
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
  endpoint.close();  // releases the group, closes the socket, ends the socket library
}
