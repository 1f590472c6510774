#include "device_lines.h"

#include <string>
#include <vector>

#include "app_state.h"
#include "vantrel/diagnostics.h"
#include "vantrel/read_line.h"

namespace {

// One "list is full" line per fill, so that a flood does not become a flood of diagnostics.
bool full_reported = false;

void report_full_once() {
  if (full_reported) return;
  diag::print(diag::Stream::err, "device list full at %zu lines: further devices dropped until Refresh\n",
              list.size());
  full_reported = true;
}

}  // namespace

std::size_t show_new_device_lines(const SightingBatch& batch) {
  // Each new line gets its log line, then its `list` row, then the list control hears of it. The log
  // lines of one batch go out in one write, ahead of the control, which keeps that order for every line.
  const std::size_t first = list.size();
  std::vector<std::size_t> reflagged;
  std::string log;
  std::size_t refused = 0;
  for (const Sighting& sighting : batch) {
    if (list.contains(sighting.line)) continue;
    if (list.full()) {
      report_full_once();
      ++refused;
      continue;
    }
    log += format_read_line(sighting.bytes, sighting.line, sighting.text);
    list.add(record_of(sighting), sighting.interface_index, &reflagged);
  }
  if (list.size() == first) return refused;
  diag::print(diag::Stream::out, "%s", log.c_str());
  if (list_control.rows_added) list_control.rows_added(first, list.size() - first);
  std::erase_if(reflagged, [first](std::size_t row) { return row >= first; });  // new ones are shown flagged
  if (!reflagged.empty() && list_control.rows_flagged) list_control.rows_flagged(reflagged);
  return refused;
}

void clear_device_lines() {
  list.clear();
  if (list_control.clear) list_control.clear();
  full_reported = false;
}
