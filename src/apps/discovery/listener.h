// The listener: sets up the discovery endpoint, sends the first probes, then hands every reply to the
// GUI thread until it is stopped.
#pragma once

#include <thread>

#include "vantrel/receiver.h"

// The body of the listener thread. `deliver` runs on the listener thread and must pass the batch on to
// the GUI thread. -1 when the group does not resolve or the buffer cannot be had; 0 when receiving ends.
int run_thread(const SightingSink& deliver);

// Starts run_thread on its own thread, delivering to the window's list through queued calls.
std::thread start_listener();

// Asks the listener to stop and waits for it; then releases the group address and closes the socket.
void stop_listener_and_release(std::thread& listener);
