#include "listener.h"

#include <QMetaObject>

#include "app_state.h"
#include "device_lines.h"
#include "vantrel/diagnostics.h"
#include "vantrel/endpoint.h"
#include "vantrel/interfaces.h"
#include "vantrel/protocol.h"
#include "vantrel/resolve.h"

namespace {

// Set-up up to the first probes. False when the group does not resolve (its line printed).
bool set_up_endpoint() {
  const SOCKET sock = initialize_socket(protocol::kService);
  if (sock != INVALID_SOCKET) enlarge_receive_buffer(sock, kWantedReceiveBuffer);
  {
    std::lock_guard lock(endpoint_mutex);
    s = sock;
  }
  addrinfo* group = ResolveAddress(protocol::kGroupAddress, protocol::kService, AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  {
    std::lock_guard lock(endpoint_mutex);
    resmulti = group;
  }
  if (group == nullptr) {
    diag::print(diag::Stream::err, "Unable to convert multicast address '%s': Error %d\n", protocol::kGroupAddress,
                platform::last_socket_error());
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
  const int result = receive_replies(s, buffer, listener_stop, deliver);
  platform::heap_free(buffer);
  return result;
}

std::thread start_listener() {
  listener_stop = false;
  return std::thread([] {
    run_thread([](SightingBatch&& batch) {
      // The list and its control belong to the GUI thread: the batch travels there as a queued call.
      QMetaObject::invokeMethod(
          flatList, [batch = std::move(batch)] { show_new_device_lines(batch); }, Qt::QueuedConnection);
    });
  });
}

void stop_listener_and_release(std::thread& listener) {
  listener_stop = true;
  if (listener.joinable()) listener.join();
  std::lock_guard lock(endpoint_mutex);
  if (resmulti != nullptr) freeaddrinfo(resmulti);
  resmulti = nullptr;
  platform::close_socket(s);
  s = INVALID_SOCKET;
  platform::socket_library_stop();
}
