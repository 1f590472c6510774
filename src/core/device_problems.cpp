#include "vantrel/device_problems.h"

std::vector<std::string> problem_codes(std::uint8_t problems) {
  std::vector<std::string> codes;
  if ((problems & problem::outside_subnets) != 0) codes.emplace_back("outside_subnets");
  if ((problems & problem::address_conflict) != 0) codes.emplace_back("address_conflict");
  if ((problems & problem::serial_at_several_addresses) != 0)
    codes.emplace_back("serial_at_several_addresses");
  return codes;
}

std::string problem_words(std::uint8_t problems, const std::string& interface) {
  std::string words;
  const auto add = [&words](const std::string& line) { words += (words.empty() ? "" : "\n") + line; };
  if ((problems & problem::outside_subnets) != 0) {
    add("Outside this computer's subnets: it answered on " +
        (interface.empty() ? "an unknown interface" : interface) +
        " but can be reached only after it is re-addressed.");
  }
  if ((problems & problem::address_conflict) != 0) {
    add("Address conflict: devices with different serial numbers answer from this address.");
  }
  if ((problems & problem::serial_at_several_addresses) != 0) {
    add("This serial number answers from several addresses.");
  }
  return words;
}

namespace {

// Adds `id` to its group; true when the group holds two different others from now on, with every earlier
// member that did not share the problem yet put in `gained`.
template <typename Group, typename Other>
bool join_group(Group& group, std::size_t id, const Other& other, std::uint8_t problem,
                std::vector<ProblemJudge::Gained>& also) {
  if (group.ids.empty()) group.first = other;
  if (!group.mixed && other != group.first) {
    group.mixed = true;
    for (const std::size_t earlier : group.ids) also.push_back({earlier, problem});
  }
  group.ids.push_back(id);
  return group.mixed;
}

}  // namespace

std::uint8_t ProblemJudge::judge(std::size_t id, std::uint32_t address, const std::string& serial,
                                 std::vector<Gained>& also) {
  std::uint8_t problems = 0;
  if (join_group(by_address_[address], id, serial, problem::address_conflict, also)) {
    problems |= problem::address_conflict;
  }
  if (join_group(by_serial_[serial], id, address, problem::serial_at_several_addresses, also)) {
    problems |= problem::serial_at_several_addresses;
  }
  return problems;
}

void ProblemJudge::clear() {
  by_address_.clear();
  by_serial_.clear();
}
