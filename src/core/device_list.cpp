#include "vantrel/device_list.h"

DeviceList::AddResult DeviceList::add(const std::string& line) {
  if (seen_.contains(line)) return AddResult::duplicate;
  if (lines_.size() >= capacity_) return AddResult::full;
  seen_.insert(line);
  lines_.push_back(line);
  return AddResult::added;
}

void DeviceList::clear() {
  lines_.clear();
  seen_.clear();
}
