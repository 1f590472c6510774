#include "session.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <optional>
#include <set>

#include "alarm.h"
#include "interrupt.h"
#include "roster.h"
#include "startup.h"
#include "vantrel/diagnostics.h"
#include "vantrel/endpoint.h"
#include "vantrel/interfaces.h"
#include "vantrel/port_sharing.h"
#include "vantrel/read_line.h"
#include "vantrel/receiver.h"
#include "vantrel/resolve.h"

namespace discover {
namespace {

// Timing, single receiving thread: receive_replies runs on this thread until `wake_` is raised, by the
// Alarm at the next deadline or probe time, by the sink once --expect is met, or by SIGINT/SIGTERM. The
// loop in run() then decides what the wake-up means. The Alarm's thread touches nothing but the flag.
class Session {
 public:
  Session(const Options& options, Printer& printer, SOCKET sock, const addrinfo* group)
      : options_(options), printer_(printer), sock_(sock), group_(group), receiver_(sock, buffer_.data()) {
    stop_on_interrupt(&wake_);
  }
  // The Alarm's thread, which may be running the handler, is joined only after this, before wake_ goes.
  ~Session() { stop_on_interrupt(nullptr); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  int run(const std::vector<std::string>& addresses);

 private:
  bool start(const std::vector<std::string>& addresses);
  void next_round();
  void probe_again();
  int join(const std::string& address);
  int send(const std::string& address);
  bool listen_until(Clock::time_point wake_at);
  void take(SightingBatch&& batch);
  void print_losses() const;
  void warn_of_port_sharing();

  const Options& options_;
  Printer& printer_;
  SOCKET sock_;
  const addrinfo* group_;
  std::atomic<bool> wake_{false};
  Alarm alarm_{wake_};
  Roster roster_;
  std::set<std::string> joined_;
  unsigned round_ = 0;
  bool answered_ = false;
  bool expect_met_ = false;
  std::string port_warning_;  // the last port-sharing warning said, empty if none
  std::array<char, protocol::kMaxReplySize> buffer_{};
  ReplyReceiver receiver_;  // after buffer_, which it receives into
};

int Session::run(const std::vector<std::string>& addresses) {
  if (!start(addresses)) return kCannotRun;
  const Clock::time_point begin = Clock::now();
  std::optional<Clock::time_point> deadline;
  if (!options_.watch || options_.timeout_given) deadline = begin + options_.timeout;
  Clock::time_point next_probe = begin + options_.interval;
  for (;;) {
    Clock::time_point wake_at = options_.watch ? next_probe : *deadline;
    if (deadline) wake_at = std::min(wake_at, *deadline);
    if (!listen_until(wake_at)) {
      print_losses();
      report("receiving on UDP port " + std::string(protocol::kService) + " failed (" +
             reason(platform::last_socket_error()) + "): run with -v to see the error code");
      return kCannotRun;
    }
    if (interrupted() || expect_met_) break;
    const Clock::time_point now = Clock::now();
    if (deadline && now >= *deadline) {
      receiver_.finish([this](SightingBatch&& batch) { take(std::move(batch)); });  // came in time
      break;
    }
    if (options_.watch && now >= next_probe) {
      next_round();
      next_probe = now + options_.interval;
    }
  }
  print_losses();
  return answered_ ? kFound : kNoneFound;
}

// Under -v: what the receive path could not list, as counts (zero included, so that "nothing lost" is
// said too).
void Session::print_losses() const {
  const ReceiveCounts& counts = receiver_.counts();
  diag::print(
      diag::Stream::err,
      "replies lost: %llu longer than %d bytes, %llu while decoding lagged behind, %llu dropped by the "
      "system with the receive queue full\n",
      static_cast<unsigned long long>(counts.oversized), protocol::kMaxReplySize,
      static_cast<unsigned long long>(counts.ring_full),
      static_cast<unsigned long long>(counts.system_dropped));
}

// The first round: join on every interface before the first probe leaves, so that no early reply meets
// an interface that has not joined yet. False after reporting why discovery cannot go on.
bool Session::start(const std::vector<std::string>& addresses) {
  warn_of_port_sharing();
  const bool chosen = !options_.interfaces.empty();
  std::string first_failure;
  for (const std::string& address : addresses) {
    const int error = join(address);
    if (error == 0) continue;
    if (chosen) {
      report(join_failure(address, error, true));
      return false;
    }
    if (first_failure.empty()) first_failure = join_failure(address, error, false);
  }
  if (joined_.empty()) {
    report(first_failure);
    return false;
  }
  bool sent_any = false;
  for (const std::string& address : addresses) {
    const int error = send(address);
    sent_any = sent_any || error == 0;
    if (error != 0 && chosen) {
      report("cannot send the probe through interface " + address + " (" + reason(error) + ")");
      return false;
    }
  }
  if (!sent_any) report("cannot send the probe through any interface: check the routes and the firewall");
  return sent_any;
}

// Under --watch: closes the round that ended, then probes for the next one.
void Session::next_round() {
  for (const Listed& gone : roster_.drop_silent(round_)) printer_.gone(gone.address, gone.device);
  printer_.flush();
  ++round_;
  probe_again();
}

// Interfaces may have come or gone since the last round.
void Session::probe_again() {
  warn_of_port_sharing();
  const std::optional<std::vector<std::string>> addresses = interface_addresses(options_.interfaces);
  if (!addresses) return;
  std::erase_if(joined_, [&](const std::string& joined) {
    return std::find(addresses->begin(), addresses->end(), joined) == addresses->end();
  });
  for (const std::string& address : *addresses) {
    if (!joined_.contains(address)) join(address);
  }
  for (const std::string& address : *addresses) send(address);
}

// Said once for each change of who else holds the port, never once per round.
void Session::warn_of_port_sharing() {
  const std::string warning = check_port_sharing("vantrel-discover");
  if (warning != port_warning_ && !warning.empty()) report(warning);
  port_warning_ = warning;
}

// 0, or the error of the failed join. Read right after the core's call: with diagnostics off nothing
// runs in between.
int Session::join(const std::string& address) {
  std::string text = address;  // the core takes a writable buffer
  if (join_interface(sock_, group_, text.data(), protocol::kService) != 0) {
    const int error = platform::last_socket_error();
    // An address that was away and came back may still hold its membership.
    if (platform::error_kind(error) != platform::ErrorKind::address_in_use) return error;
  }
  joined_.insert(address);
  return 0;
}

int Session::send(const std::string& address) {
  std::string text = address;
  return send_to_interface(sock_, group_, text.data(), protocol::kService) == 0
             ? 0
             : platform::last_socket_error();
}

// False when the receive loop ended on a failed receive rather than on the flag.
bool Session::listen_until(Clock::time_point wake_at) {
  alarm_.set(wake_at);
  // A signal caught before set() lowered the flag is seen here; one caught after raises it again.
  if (interrupted()) return true;
  return receiver_.run(wake_, [this](SightingBatch&& batch) { take(std::move(batch)); });
}

void Session::take(SightingBatch&& batch) {
  std::string log;  // the batch's "read ..." lines, written at once
  for (const Sighting& sighting : batch) {
    if (expect_met_) break;  // --expect N prints exactly N devices
    answered_ = true;
    if (!roster_.answered(sighting, round_)) continue;
    printer_.appeared(sighting.host, sighting.device, sighting.line);
    log += format_read_line(sighting.bytes, sighting.line, sighting.text);
    if (options_.expect > 0 && roster_.size() >= options_.expect) {
      expect_met_ = true;
      wake_ = true;
    }
  }
  printer_.flush();
  if (!log.empty()) diag::print(diag::Stream::err, "%s", log.c_str());
}

// The socket and the group address, released however the run ends.
struct Endpoint {
  SOCKET sock = INVALID_SOCKET;
  addrinfo* group = nullptr;
  Endpoint() = default;
  Endpoint(const Endpoint&) = delete;
  Endpoint& operator=(const Endpoint&) = delete;
  ~Endpoint() {
    if (group != nullptr) freeaddrinfo(group);
    if (sock != INVALID_SOCKET) {
      platform::close_socket(sock);
      platform::socket_library_stop();
    }
  }
};

}  // namespace

int run_discovery(const Options& options, Printer& printer) {
  const std::optional<std::vector<std::string>> addresses = interface_addresses(options.interfaces);
  if (!addresses) {
    report("cannot list the network interfaces (" + reason(platform::last_socket_error()) + ")");
    return kCannotRun;
  }
  if (addresses->empty()) {
    report("no network interface with an IPv4 address is up");
    return kCannotRun;
  }
  Endpoint endpoint;
  endpoint.sock = initialize_socket(protocol::kService);
  if (endpoint.sock == INVALID_SOCKET) {
    report(socket_failure(platform::last_socket_error()));
    return kCannotRun;
  }
  // Room for a burst of thousands of replies while lines are being printed.
  const int granted = enlarge_receive_buffer(endpoint.sock, kWantedReceiveBuffer);
  diag::print(diag::Stream::out, "Receive buffer: %d bytes\n", granted);
  endpoint.group =
      ResolveAddress(protocol::kGroupAddress, protocol::kService, AF_INET, SOCK_DGRAM, IPPROTO_UDP);
  if (endpoint.group == nullptr) {
    report("cannot resolve the group address " + std::string(protocol::kGroupAddress));
    return kCannotRun;
  }
  Session session(options, printer, endpoint.sock, endpoint.group);
  return session.run(*addresses);
}

}  // namespace discover
