#include "vantrel/device_list.h"

DeviceList::AddResult DeviceList::add(const std::string& line) {
  if (contains(line)) return AddResult::duplicate;
  if (full()) return AddResult::full;
  seen_.insert(line);
  lines_.push_back(line);
  return AddResult::added;
}

void DeviceList::clear() {
  lines_.clear();
  seen_.clear();
}
