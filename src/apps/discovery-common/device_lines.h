// The GUI thread's side of a reply: list each new device line once, in `list` and in the list control.
#pragma once

#include "vantrel/receiver.h"

// For each sighting whose line is not listed yet: the log line, the `list` row, then the list control.
// The number of new lines refused because the list is full.
std::size_t show_new_device_lines(const SightingBatch& batch);

// Empties `list` and the list control together.
void clear_device_lines();
