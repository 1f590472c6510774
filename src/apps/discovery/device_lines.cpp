#include "device_lines.h"

#include "app_state.h"
#include "vantrel/diagnostics.h"
#include "vantrel/read_line.h"

namespace {

// One "list is full" line per fill, so that a flood does not become a flood of diagnostics.
bool full_reported = false;

void report_full_once() {
  if (full_reported) return;
  diag::print(diag::Stream::err, "device list full at %zu lines: further devices dropped until Refresh\n", list.size());
  full_reported = true;
}

}  // namespace

void show_new_device_lines(const SightingBatch& batch) {
  for (const Sighting& sighting : batch) {
    if (list.contains(sighting.line)) continue;
    if (list.full()) {
      report_full_once();
      continue;
    }
    diag::print(diag::Stream::out, "%s", format_read_line(sighting.bytes, sighting.line, sighting.text).c_str());
    // Device lines are UTF-8; invalid sequences show as replacement characters.
    flatList->addItem(QString::fromUtf8(sighting.line.data(), static_cast<qsizetype>(sighting.line.size())));
    list.add(sighting.line);
  }
}

void clear_device_lines() {
  list.clear();
  flatList->clear();
  full_reported = false;
}
