#include "session.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <optional>

#include "alarm.h"
#include "interrupt.h"
#include "roster.h"
#include "startup.h"
#include "vantrel/device_table.h"
#include "vantrel/diagnostics.h"
#include "vantrel/discovery_endpoint.h"
#include "vantrel/failure_words.h"
#include "vantrel/port_sharing.h"
#include "vantrel/read_line.h"
#include "vantrel/receiver.h"

namespace discover {
namespace {

// Timing, single receiving thread: receive_replies runs on this thread until `wake_` is raised, by the
// Alarm at the next deadline or probe time, by the sink once --expect is met, or by SIGINT/SIGTERM. The
// loop in run() then decides what the wake-up means. The Alarm's thread touches nothing but the flag.
class Session {
 public:
  Session(const Options& options, Printer& printer, DiscoveryEndpoint& endpoint)
      : options_(options), printer_(printer), endpoint_(endpoint), receiver_(endpoint.socket(), buffer_.data()) {
    stop_on_interrupt(&wake_);
  }
  // The Alarm's thread, which may be running the handler, is joined only after this, before wake_ goes.
  ~Session() { stop_on_interrupt(nullptr); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  int run(const std::vector<platform::Adapter>& interfaces);

 private:
  bool start(const std::vector<platform::Adapter>& interfaces);
  void next_round();
  void probe_again();
  bool listen_until(Clock::time_point wake_at);
  void take(SightingBatch&& batch);
  void print_losses() const;
  void warn_of_port_sharing();
  void look_at_interfaces();
  const DeviceRecord& judged(const Sighting& sighting);

  const Options& options_;
  Printer& printer_;
  DiscoveryEndpoint& endpoint_;
  std::atomic<bool> wake_{false};
  Alarm alarm_{wake_};
  Roster roster_;
  // Every device seen in the run, judged across all of them (a conflict's later device carries the
  // flag: output is streamed), with the interface it answered on.
  DeviceTable seen_;
  DeviceRecord unjudged_;  // a device beyond seen_'s capacity, printed as it is
  unsigned round_ = 0;
  bool answered_ = false;
  bool expect_met_ = false;
  std::string port_warning_;  // the last port-sharing warning said, empty if none
  std::array<char, protocol::kMaxReplySize> buffer_{};
  ReplyReceiver receiver_;  // after buffer_, which it receives into
};

int Session::run(const std::vector<platform::Adapter>& interfaces) {
  if (!start(interfaces)) return kCannotRun;
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
  printer_.finish();
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
bool Session::start(const std::vector<platform::Adapter>& interfaces) {
  warn_of_port_sharing();
  look_at_interfaces();
  // An interface the user named must work; of the system's own, one is enough.
  const bool chosen = !options_.interfaces.empty();
  const WalkOutcome joins = endpoint_.join(interfaces);
  if (!joins.failures.empty() && (chosen || joins.succeeded == 0)) {
    report(failure_words(joins.failures.front()));
    return false;
  }
  const WalkOutcome probes = endpoint_.probe(interfaces);
  if (!probes.failures.empty() && chosen) {
    report(failure_words(probes.failures.front()));
    return false;
  }
  if (probes.succeeded == 0) {
    report("cannot send the probe through any interface: check the routes and the firewall");
    return false;
  }
  return true;
}

// Under --watch: closes the round that ended, then probes for the next one.
void Session::next_round() {
  for (const Listed& gone : roster_.drop_silent(round_)) {
    if (const DeviceRecord* record = seen_.find(gone.line)) printer_.gone(*record);
  }
  printer_.flush();
  ++round_;
  probe_again();
}

// Interfaces may have come or gone since the last round.
void Session::probe_again() {
  warn_of_port_sharing();
  look_at_interfaces();
  std::vector<platform::Adapter> interfaces;
  if (interfaces_to_use(options_.interfaces, interfaces)) return;
  endpoint_.join(interfaces);
  endpoint_.probe(interfaces);
}

// Every interface of the system, whichever ones are probed: what an arrival index means, and the
// subnets a device must be in to be reachable from here.
void Session::look_at_interfaces() {
  std::vector<platform::Adapter> adapters;
  if (platform::list_adapters(adapters)) seen_.set_interfaces(HostInterfaces(adapters));
}

const DeviceRecord& Session::judged(const Sighting& sighting) {
  seen_.add(record_of(sighting), sighting.interface_index);
  if (const DeviceRecord* record = seen_.find(sighting.line)) return *record;
  unjudged_ = record_of(sighting);
  return unjudged_;
}

// Said once for each change of who else holds the port, never once per round.
void Session::warn_of_port_sharing() {
  const std::string warning = check_port_sharing("vantrel-discover");
  if (warning != port_warning_ && !warning.empty()) report(warning);
  port_warning_ = warning;
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
    printer_.appeared(judged(sighting));
    log += format_read_line(sighting.bytes, sighting.line, sighting.text);
    if (options_.expect > 0 && roster_.size() >= options_.expect) {
      expect_met_ = true;
      wake_ = true;
    }
  }
  printer_.flush();
  if (!log.empty()) diag::print(diag::Stream::err, "%s", log.c_str());
}

}  // namespace

int run_discovery(const Options& options, Printer& printer) {
  std::vector<platform::Adapter> interfaces;
  if (const std::optional<SetupFailure> failure = interfaces_to_use(options.interfaces, interfaces)) {
    report(failure_words(*failure));
    return kCannotRun;
  }
  if (interfaces.empty()) {
    report(kNoInterfaceWords);
    return kCannotRun;
  }
  DiscoveryEndpoint endpoint;
  if (const std::optional<SetupFailure> failure = endpoint.open()) {
    report(failure_words(*failure));
    return kCannotRun;
  }
  diag::print(diag::Stream::out, "Receive buffer: %d bytes\n", endpoint.receive_buffer());
  Session session(options, printer, endpoint);
  return session.run(interfaces);
}

}  // namespace discover
