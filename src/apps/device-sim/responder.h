// Answers probes (and announces, when asked) until stopped.
#pragma once

#include <atomic>

#include "device_socket.h"
#include "replies.h"
#include "sim_options.h"

// Runs until `stop` is set (and `wake` becomes readable) or the probe limit is reached; then 0. Replies
// that cannot be sent are reported on standard error and the device goes on answering.
int run_responder(const DeviceSocket& device, const SimOptions& options, const Replies& replies,
                  const std::atomic<bool>& stop, SOCKET wake);
