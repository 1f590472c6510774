// Answers probes (and announces, when asked) until stopped.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "device_socket.h"
#include "sim_options.h"

// Runs until `stop` is set (and `wake` becomes readable) or the probe limit is reached. 0, or 1 when
// sending failed for good.
int run_responder(const DeviceSocket& device, const SimOptions& options, const std::vector<std::string>& replies,
                  const std::atomic<bool>& stop, SOCKET wake);
