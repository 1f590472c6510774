// The problems that cost a technician time on site, judged as devices are seen: a device this host cannot
// reach without re-addressing it, two devices on one address, one device on several addresses. Judged
// incrementally (by address and by serial number), never by a rescan.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace problem {
enum : std::uint8_t {
  outside_subnets = 1,              // in no subnet of this host's interfaces
  address_conflict = 2,             // devices with different serial numbers answer from its address
  serial_at_several_addresses = 4,  // its serial number answers from another address too
};
}  // namespace problem

// Stable codes, for files and scripts: "outside_subnets;address_conflict".
std::vector<std::string> problem_codes(std::uint8_t problems);

// One line per problem, for a tooltip. `interface` names where the device answered.
std::string problem_words(std::uint8_t problems, const std::string& interface);

class ProblemJudge {
 public:
  // Judges the device `id` (ids are the caller's, each seen once) at `address` with `serial`: the shared
  // problems it has now. Earlier devices that now share a problem with it are added to `also`, each with
  // the problem it gained, so that a caller can flag them too.
  struct Gained {
    std::size_t id;
    std::uint8_t problem;
  };
  std::uint8_t judge(std::size_t id, std::uint32_t address, const std::string& serial,
                     std::vector<Gained>& also);

  void clear();

 private:
  template <typename Other>
  struct Group {
    Other first;  // the first other key seen with this one
    bool mixed = false;
    std::vector<std::size_t> ids;
  };
  std::unordered_map<std::uint32_t, Group<std::string>> by_address_;  // serial numbers seen at an address
  std::unordered_map<std::string, Group<std::uint32_t>> by_serial_;   // addresses seen with a serial
};
