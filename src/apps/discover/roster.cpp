#include "roster.h"

namespace discover {

bool Roster::answered(const Sighting& sighting, unsigned round) {
  switch (lines_.add(sighting.line)) {
    case DeviceList::AddResult::added:
      by_line_[sighting.line] = Listed{sighting.line, sighting.host, sighting.device, round};
      return true;
    case DeviceList::AddResult::duplicate:
      by_line_[sighting.line].last_round = round;
      return false;
    case DeviceList::AddResult::full:
      break;
  }
  return false;
}

std::vector<Listed> Roster::drop_silent(unsigned finished_round) {
  std::vector<Listed> dropped;
  std::vector<std::string> kept;
  for (const std::string& line : lines_.lines()) {
    auto entry = by_line_.find(line);
    if (entry->second.last_round + 2 <= finished_round) {
      dropped.push_back(std::move(entry->second));
      by_line_.erase(entry);
    } else {
      kept.push_back(line);
    }
  }
  if (dropped.empty()) return dropped;
  // DeviceList only grows, so it is rebuilt from the lines still present, in their order.
  lines_.clear();
  for (const std::string& line : kept) lines_.add(line);
  return dropped;
}

}  // namespace discover
