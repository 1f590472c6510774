#include "discover_bed.h"

#include <regex>
#include <sstream>

namespace clitest {

using namespace std::chrono_literals;

void DiscoverBed::SetUp() {
  if (const std::string why = testbed::unavailable_reason(); !why.empty()) GTEST_SKIP() << why;
}

void DiscoverBed::build(int segments) {
  bed_ = std::make_unique<testbed::NetBed>(segments);
  ASSERT_TRUE(bed_->ok()) << "netbed.sh up failed";
}

std::vector<std::string> DiscoverBed::add_device(const std::string& name, const std::string& segments,
                                                 const std::vector<std::string>& sim_args) {
  const std::vector<std::string> addresses = bed_->add_device(name, segments);
  EXPECT_FALSE(addresses.empty()) << "netbed.sh device " << name << " failed";
  if (addresses.empty()) return {};
  return add_simulator(name, name, sim_args) ? addresses : std::vector<std::string>{};
}

bool DiscoverBed::add_simulator(const std::string& key, const std::string& name,
                                const std::vector<std::string>& sim_args) {
  std::vector<std::string> argv = {testbed::bin("vantrel-device-sim")};
  argv.insert(argv.end(), sim_args.begin(), sim_args.end());
  auto sim = std::make_unique<testbed::ChildProcess>(bed_->in(name, argv));
  const bool ready = sim->wait_for("vantrel-device-sim: ready", 10s, true);
  EXPECT_TRUE(ready) << key << ": " << sim->err();
  sims_[key] = std::move(sim);
  return ready;
}

std::unique_ptr<testbed::ChildProcess> DiscoverBed::start(const std::vector<std::string>& args) const {
  std::vector<std::string> argv = {testbed::bin("vantrel-discover")};
  argv.insert(argv.end(), args.begin(), args.end());
  return std::make_unique<testbed::ChildProcess>(bed_->in("tool", argv));
}

Outcome DiscoverBed::discover(const std::vector<std::string>& args) const {
  const auto began = std::chrono::steady_clock::now();
  const std::unique_ptr<testbed::ChildProcess> tool = start(args);
  Outcome run;
  run.code = tool->wait(30s);
  run.took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began);
  run.out = tool->out();
  run.err = tool->err();
  return run;
}

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

std::string device_line(const std::string& address, const std::string& model, const std::string& serial,
                        const std::string& boot) {
  std::string line = address + ", Model: " + model + ", Serial Number: " + serial;
  if (boot == "on") line += ", Boot State:  ON";
  if (boot == "off") line += ", Boot State:  OFF";
  return line;
}

bool looks_like_device_line(const std::string& line) {
  static const std::regex shape(
      R"(^\d{1,3}(\.\d{1,3}){3}, Model: .+, Serial Number: .+?(, Boot State:  (ON|OFF))?$)");
  return std::regex_match(line, shape);
}

}  // namespace clitest
