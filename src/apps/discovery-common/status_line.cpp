#include "status_line.h"

#include "vantrel/port_sharing.h"

StatusControl status_control;
WindowStatus status;

namespace {

// Totals since the listener started, and the totals at the last Refresh: the line shows what was lost
// since then, as the list shows what was found since then.
Losses totals;
Losses at_refresh;

Losses since(const Losses& now, const Losses& then) {
  return {{now.received.oversized - then.received.oversized, now.received.ring_full - then.received.ring_full,
           now.received.system_dropped - then.received.system_dropped},
          now.list_full - then.list_full,
          now.behind - then.behind};
}

void publish() {
  if (status_control.show) status_control.show(status_text(status));
}

// Who else holds the port may change at any time; it is looked at whenever the window probes.
void check_port() {
  status.port_warning = check_port_sharing("this window");
}

void note_walk(const ProbeWalk& walk) {
  status.last_walk = walk;
  status.silent = false;
  if (walk.probed > 0 && status_control.start_silence_timer)
    status_control.start_silence_timer(kSilenceHintMs);
}

}  // namespace

void status_after_setup(const SetupNews& news) {
  status.largest_receive_buffer = platform::largest_receive_buffer();
  status.receive_buffer = news.receive_buffer;
  status.start_failure = news.failure;
  if (!news.failure) note_walk(news.walk);
  check_port();
  publish();
}

void status_after_walk(const ProbeWalk& walk) {
  at_refresh = totals;
  status.losses = {};
  note_walk(walk);
  check_port();
  publish();
}

void status_devices_changed(std::size_t devices, std::size_t flagged) {
  if (devices == status.devices && flagged == status.flagged) return;
  status.devices = devices;
  status.flagged = flagged;
  if (devices > 0) status.silent = false;
  publish();
}

void status_view_changed(std::optional<std::size_t> shown) {
  if (shown == status.shown) return;
  status.shown = shown;
  publish();
}

void status_losses(const Losses& losses) {
  totals = losses;
  status.losses = since(totals, at_refresh);
  publish();
}

void status_silence_elapsed() {
  if (status.devices > 0 || !status.last_walk || status.last_walk->probed == 0) return;
  status.silent = true;
  publish();
}

void status_reset() {
  status = WindowStatus();
  totals = at_refresh = Losses();
}
