// The window's walk over the interfaces, at start-up and at every Refresh: the interfaces are read
// afresh, the group is joined on every one not joined yet (and dropped from those that are gone), then
// the probe leaves through each.
#pragma once

#include "window_status.h"

// The caller holds endpoint_mutex, and the endpoint is open.
ProbeWalk walk_interfaces();
