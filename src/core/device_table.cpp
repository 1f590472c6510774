#include "vantrel/device_table.h"

#include "vantrel/receiver.h"

DeviceTable::AddResult DeviceTable::add(DeviceRecord record, unsigned interface_index,
                                        std::vector<std::size_t>* reflagged) {
  if (contains(record.line)) return AddResult::duplicate;
  if (full()) return AddResult::full;
  if (const HostInterface* arrived = interfaces_.find(interface_index)) {
    record.interface_label = arrived->label;
    record.interface_address = arrived->address;
  }
  const std::size_t row = rows_.size();
  std::uint8_t problems = 0;
  if (!interfaces_.empty() && !interfaces_.reaches(record.address)) problems |= problem::outside_subnets;
  std::vector<ProblemJudge::Gained> gained;
  problems |= judge_.judge(row, record.address, record.device.serial_number, gained);
  rows_.push_back(std::move(record));
  by_line_.emplace(rows_.back().line, row);
  flag(row, problems);
  for (const ProblemJudge::Gained& earlier : gained) {
    flag(earlier.id, earlier.problem);
    if (reflagged != nullptr) reflagged->push_back(earlier.id);
  }
  return AddResult::added;
}

const DeviceRecord* DeviceTable::find(std::string_view line) const {
  const auto found = by_line_.find(line);
  return found == by_line_.end() ? nullptr : &rows_[found->second];
}

void DeviceTable::flag(std::size_t row, std::uint8_t problems) {
  DeviceRecord& record = rows_[row];
  if (record.problems == 0 && problems != 0) ++flagged_;
  record.problems |= problems;
}

void DeviceTable::clear() {
  by_line_.clear();
  rows_.clear();
  judge_.clear();
  flagged_ = 0;
}

std::vector<std::string> DeviceTable::lines() const {
  std::vector<std::string> lines;
  lines.reserve(rows_.size());
  for (const DeviceRecord& record : rows_) lines.push_back(record.line);
  return lines;
}

DeviceRecord record_of(const Sighting& sighting) {
  DeviceRecord record;
  record.line = sighting.line;
  record.host = sighting.host;
  record.address = sighting.address;
  record.device = sighting.device;
  record.first_seen = std::chrono::system_clock::now();
  return record;
}
