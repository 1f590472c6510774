// The datagrams this simulator answers with: one per simulated device.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "sim_options.h"

class Replies {
 public:
  explicit Replies(const SimOptions& options);

  std::size_t size() const { return count_; }
  // A payload is the same datagram for every device, so it is kept once however large the count.
  const std::string& operator[](std::size_t i) const {
    return datagrams_.size() == 1 ? datagrams_[0] : datagrams_[i];
  }

 private:
  std::vector<std::string> datagrams_;
  std::size_t count_;
};

// The serial number of device `index` (from 0) of `count`: the serial itself for one device, otherwise
// with a zero-padded suffix from 1, at least five digits wide, the same width for all.
std::string serial_of(const std::string& serial, long count, long index);
