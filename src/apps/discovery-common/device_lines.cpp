#include "device_lines.h"

#include <string_view>
#include <unordered_set>
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
  // Each new line gets its log line, then its list control item, then its `list` entry. The log lines of
  // one batch go out in one write, ahead of the batch's items, which keeps that order for every line.
  std::vector<const Sighting*> fresh;
  std::unordered_set<std::string_view> in_batch;
  std::string log;
  std::size_t refused = 0;
  for (const Sighting& sighting : batch) {
    if (list.contains(sighting.line) || !in_batch.insert(sighting.line).second) continue;
    if (list.size() + fresh.size() >= list.capacity()) {
      report_full_once();
      ++refused;
      continue;
    }
    log += format_read_line(sighting.bytes, sighting.line, sighting.text);
    fresh.push_back(&sighting);
  }
  if (fresh.empty()) return refused;
  diag::print(diag::Stream::out, "%s", log.c_str());
  std::vector<std::string_view> lines;
  lines.reserve(fresh.size());
  for (const Sighting* sighting : fresh) lines.push_back(sighting->line);
  if (list_control.append) list_control.append(lines);
  for (const Sighting* sighting : fresh) list.add(sighting->line);
  return refused;
}

void clear_device_lines() {
  list.clear();
  if (list_control.clear) list_control.clear();
  full_reported = false;
}
