// The datagrams this simulator answers with: one per simulated device.
#pragma once

#include <string>
#include <vector>

#include "sim_options.h"

std::vector<std::string> build_replies(const SimOptions& options);
