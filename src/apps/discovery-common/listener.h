// The listener: sets up the discovery endpoint, sends the first probes, then hands every reply to the
// GUI thread until it is stopped.
#pragma once

#include <functional>
#include <thread>

#include "status_line.h"
#include "vantrel/receiver.h"

// The body of the listener thread: sets up the endpoint and probes, then receives until stopped. The
// three callbacks run on the listener thread and must pass what they get on to the GUI thread: the
// replies, the set-up's news (once, failure or not), and the loss totals whenever they grow. -1 when
// discovery could not start or the buffer cannot be had; 0 when receiving ends.
int run_thread(const SightingSink& deliver, const std::function<void(SetupNews&&)>& tell,
               const std::function<void(const ReceiveCounts&)>& watch_losses);

// Starts run_thread on its own thread; replies wait in the mailbox. `wake_gui_thread` runs on the listener
// thread whenever the mailbox stops being empty: it must make the GUI thread call show_waiting_replies
// (a queued call, a posted message), and touch nothing else.
std::thread start_listener_thread(std::function<void()> wake_gui_thread);

// GUI thread: lists a slice of the waiting replies and brings the status line up to date with the news.
// True when more are waiting; the front end then lets its event loop run and calls again, so that a
// flood never freezes the window.
bool show_waiting_replies();

// Asks the listener to stop and waits for it; then releases the group address and closes the socket.
void stop_listener_and_release(std::thread& listener);
