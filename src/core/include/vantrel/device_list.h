// The device lines shown so far, in the order they were shown. A line is a device's identity: it is
// listed only when no byte-identical line is listed already.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_set>
#include <vector>

class DeviceList {
 public:
  // Bounds the lines kept between two clears, so that a flood of distinct replies cannot exhaust memory.
  static constexpr std::size_t kDefaultCapacity = 250000;

  enum class AddResult { added, duplicate, full };

  explicit DeviceList(std::size_t capacity = kDefaultCapacity) : capacity_(capacity) {}

  // Check and append in one step.
  AddResult add(const std::string& line);
  bool contains(const std::string& line) const { return seen_.contains(line); }
  bool full() const { return lines_.size() >= capacity_; }
  std::size_t capacity() const { return capacity_; }
  void clear();

  const std::vector<std::string>& lines() const { return lines_; }
  std::size_t size() const { return lines_.size(); }
  bool empty() const { return lines_.empty(); }

 private:
  std::size_t capacity_;
  std::vector<std::string> lines_;
  std::unordered_set<std::string> seen_;  // the same lines, for a lookup that stays fast with many devices
};
