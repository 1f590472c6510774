// What the window's two threads share, and who may touch it. Every front end (Qt, Win32) uses this same
// state; each only supplies its list control's two operations.
//
//   GUI thread: main, the window, Refresh (btn_exit_cb), the shutdown.
//   Listener thread: run_thread, from set-up until it is stopped and joined.
#pragma once

#include <atomic>
#include <mutex>

#include "list_control.h"
#include "platform.h"
#include "vantrel/device_table.h"
#include "vantrel/discovery_endpoint.h"

// GUI thread only. The listener never touches them: it hands decoded replies to the GUI thread, which
// adds them to `list` and then tells the list control; Refresh empties both in one go. `list` is the
// window's data; the list control only views it.
extern DeviceTable list;
extern ListControl list_control;

// The discovery socket (`s`), the group address (`resmulti`) and the memberships. Guarded by
// endpoint_mutex: opened and first walked by run_thread during set-up, walked again by Refresh, closed
// by the shutdown only after the listener has been joined. The listener's receive loop reads the socket
// without the lock: nobody opens or closes it while the loop runs.
extern std::mutex endpoint_mutex;
extern DiscoveryEndpoint endpoint;

// Listener thread posts, GUI thread takes; the mailbox guards itself.
class ReplyMailbox;
extern ReplyMailbox mailbox;

// Set by the GUI thread to end the listener, which then gets a byte on listener_wake[0] from
// listener_wake[1] and notices at once. Both sockets are made before the listener starts and closed after
// it has been joined.
extern std::atomic<bool> listener_stop;
extern SOCKET listener_wake[2];
