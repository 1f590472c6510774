// The devices listed so far and the probe round each last answered. Lines are identities, as in the
// window: a line already listed is not listed again until its device has missed two probe rounds.
#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "vantrel/device_list.h"
#include "vantrel/receiver.h"

namespace discover {

struct Listed {
  std::string line;
  std::string address;
  protocol::DeviceInfo device;
  unsigned last_round = 0;
};

class Roster {
 public:
  // Records that the sighting's device answered in `round`. True when its line is listed now, i.e. new
  // or back after being dropped; false for a line listed already or when the list is full.
  bool answered(const Sighting& sighting, unsigned round);

  // Drops the devices that answered neither `finished_round` nor the one before it, and returns them in
  // listing order.
  std::vector<Listed> drop_silent(unsigned finished_round);

  std::size_t size() const { return lines_.size(); }

 private:
  DeviceList lines_;
  std::unordered_map<std::string, Listed> by_line_;  // exactly the lines in lines_
};

}  // namespace discover
