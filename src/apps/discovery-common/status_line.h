// The window's status line on the GUI thread: the one WindowStatus, changed by the events below, each of
// which shows the new text at once. No thread and no polling: the listener's news comes through the
// mailbox, the silence hint through a single-shot timer of the front end.
#pragma once

#include <functional>

#include "window_status.h"

// What a front end supplies; both run on the GUI thread.
struct StatusControl {
  std::function<void(const StatusText& text)> show;
  // (Re)starts a single-shot timer that calls status_silence_elapsed after `delay_ms`.
  std::function<void(int delay_ms)> start_silence_timer;
};

// GUI thread only.
extern StatusControl status_control;
extern WindowStatus status;

// What the listener's set-up found: either why discovery cannot start, or the first walk.
struct SetupNews {
  std::optional<SetupFailure> failure;
  ProbeWalk walk;
  int receive_buffer = -1;
};

void status_after_setup(const SetupNews& news);
void status_after_walk(const ProbeWalk& walk);  // a Refresh's walk: losses count from here
void status_devices_changed(std::size_t devices, std::size_t flagged);
void status_view_changed(std::optional<std::size_t> shown);  // a find shows `shown` rows; none: all
void status_losses(const Losses& totals);                    // totals since the listener started
void status_silence_elapsed();
void status_reset();  // at shutdown, for a window made again (tests)
