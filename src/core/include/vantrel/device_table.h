// The devices listed since the last clear, one row per distinct device line, in the order they were
// listed: the line (the device's identity, byte for byte), what the reply said, where it came from and
// the problems flagged on it. Views sort and filter row numbers; the table itself keeps arrival order.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "vantrel/device_problems.h"
#include "vantrel/host_interfaces.h"
#include "vantrel/protocol.h"

struct DeviceRecord {
  std::string line;
  std::string host;           // the sender's address text
  std::uint32_t address = 0;  // the same, host byte order
  protocol::DeviceInfo device;
  std::string interface_label;  // the local interface it answered on; empty when unknown
  std::string interface_address;
  std::chrono::system_clock::time_point first_seen;
  std::uint8_t problems = 0;  // problem::* bits
};

class DeviceTable {
 public:
  // Bounds the rows kept between two clears, so that a flood of distinct replies cannot exhaust memory.
  static constexpr std::size_t kDefaultCapacity = 250000;

  enum class AddResult { added, duplicate, full };

  explicit DeviceTable(std::size_t capacity = kDefaultCapacity) : capacity_(capacity) {}

  // The interfaces that replies arrive on from now on, and whose subnets a device must be in.
  void set_interfaces(HostInterfaces interfaces) { interfaces_ = std::move(interfaces); }

  // Check and append in one step. Rows listed earlier whose problems changed are added to `reflagged`.
  AddResult add(DeviceRecord record, unsigned interface_index, std::vector<std::size_t>* reflagged = nullptr);

  bool contains(std::string_view line) const { return by_line_.contains(line); }
  const DeviceRecord* find(std::string_view line) const;
  bool full() const { return rows_.size() >= capacity_; }
  std::size_t capacity() const { return capacity_; }
  std::size_t size() const { return rows_.size(); }
  bool empty() const { return rows_.empty(); }
  const DeviceRecord& operator[](std::size_t row) const { return rows_[row]; }
  std::size_t flagged() const { return flagged_; }  // rows with at least one problem

  void clear();

  // The lines, in arrival order.
  std::vector<std::string> lines() const;

 private:
  void flag(std::size_t row, std::uint8_t problems);

  std::size_t capacity_;
  HostInterfaces interfaces_;
  std::deque<DeviceRecord> rows_;  // a deque: rows never move, views into them stay
  std::unordered_map<std::string_view, std::size_t> by_line_;  // views of rows_[i].line
  ProblemJudge judge_;
  std::size_t flagged_ = 0;
};

// A record from a sighting, first seen now; the interface is filled in by DeviceTable::add.
DeviceRecord record_of(const struct Sighting& sighting);
